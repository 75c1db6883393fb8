#pragma once

#include <QApplication>
#include <cstdlib>

namespace kivo::test {

// Returns the one QApplication of a GUI test program, created on first use on
// Qt's offscreen platform unless the environment names another, so that the
// tests need no display.
//
// The application is never destroyed: Qt's own global objects, made after it
// while windows were shown, are destroyed before a static one at exit, and
// its destructor then crashes on them. A pointer in a static stays reachable,
// so the leak checker does not count it.
inline QApplication& QtTestApp() {
  static int argc = 1;
  static char name[] = "kivo_tests";
  static char* argv[] = {name, nullptr};
  setenv("QT_QPA_PLATFORM", "offscreen", 0);
  static QApplication* app = new QApplication(argc, argv);
  return *app;
}

}  // namespace kivo::test
