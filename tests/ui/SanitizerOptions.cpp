// What the sanitizers must know about the Qt libraries, which are not built
// with them. The kivo program that KivoProgram_test starts gets the same
// through suppression files written from SanitizerOptions.h.
#include "SanitizerOptions.h"

extern "C" const char* __lsan_default_suppressions();
extern "C" const char* __tsan_default_suppressions();
extern "C" const char* __tsan_default_options();

// Fontconfig keeps caches that it never frees, and Qt's font database hands
// them to it when the first window is drawn; they are no leak of ours.
extern "C" const char* __lsan_default_suppressions() {
  return kivo::test::kLeakSuppressions;
}

// Qt synchronises its own threads and its event queue with primitives that
// ThreadSanitizer cannot see, so the memory that Qt itself hands over looks
// raced. Our own hand-overs use the standard library, which it does see.
extern "C" const char* __tsan_default_suppressions() {
  return kivo::test::kThreadSuppressions;
}

// QProcess starts the kivo program from this multi-threaded test.
extern "C" const char* __tsan_default_options() {
  return "die_after_fork=0";
}
