#pragma once

#include <gtest/gtest.h>

#include <QApplication>
#include <cstdlib>
#include <memory>

namespace kivo::test {

// Destroys the test program's QApplication when the tests are over. Left to
// the static destructors it would go after Qt Gui globals that it still
// uses, and the exit of a program that has shown a dialog would crash.
class QtTestAppEnvironment final : public ::testing::Environment {
 public:
  explicit QtTestAppEnvironment(std::unique_ptr<QApplication>& app) : app_(app) {}
  void TearDown() override { app_.reset(); }

 private:
  std::unique_ptr<QApplication>& app_;
};

// Returns the one QApplication of a GUI test program, created on first use on
// Qt's offscreen platform unless the environment names another, so that the
// tests need no display.
inline QApplication& QtTestApp() {
  static int argc = 1;
  static char name[] = "kivo_tests";
  static char* argv[] = {name, nullptr};
  static std::unique_ptr<QApplication> app;
  if (app == nullptr) {
    setenv("QT_QPA_PLATFORM", "offscreen", 0);
    app = std::make_unique<QApplication>(argc, argv);
    // gtest owns the environment and tears it down after the last test.
    ::testing::AddGlobalTestEnvironment(new QtTestAppEnvironment(app));
  }
  return *app;
}

}  // namespace kivo::test
