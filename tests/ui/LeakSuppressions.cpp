// Fontconfig keeps caches that it never frees, and Qt's font database hands
// them to it when the first window is drawn; they are no leak of ours.
extern "C" const char* __lsan_default_suppressions();

extern "C" const char* __lsan_default_suppressions() {
  return "leak:libfontconfig.so\n";
}
