// LeakSanitizer reads this hook when the test program exits. Fontconfig keeps
// its caches until the process ends and frees them only on an explicit
// FcFini, which Qt never calls; those blocks are not the program's leaks.
extern "C" const char* __lsan_default_suppressions() {
  return "leak:libfontconfig.so\n";
}
