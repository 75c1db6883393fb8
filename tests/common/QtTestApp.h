#pragma once

#include <QApplication>
#include <cstdlib>

namespace kivo::test {

// Returns the one QApplication of a GUI test program, created on first use on
// Qt's offscreen platform unless the environment names another, so that the
// tests need no display. The application is never destroyed: destroying it
// among the exit handlers would run after Qt's own global objects that it
// still uses (the input devices' registry) are gone, and crash the program
// after every test has passed.
inline QApplication& QtTestApp() {
  static int argc = 1;
  static char name[] = "kivo_tests";
  static char* argv[] = {name, nullptr};
  setenv("QT_QPA_PLATFORM", "offscreen", 0);
  static QApplication* const app = new QApplication(argc, argv);
  return *app;
}

}  // namespace kivo::test
