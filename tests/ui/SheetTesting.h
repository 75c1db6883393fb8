#pragma once

#include <QApplication>
#include <QLineEdit>
#include <QString>
#include <QTest>
#include <QTimer>
#include <string>

#include "common/ProgramHome.h"
#include "common/QtTestApp.h"

namespace kivo::test {

// A program folder and a settings folder of the test's own, and the
// offscreen application the sheets need.
class SheetTest : public ::testing::Test {
 protected:
  SheetTest() { QtTestApp(); }

  ProgramHome home_;
};

// Returns the named child of `parent`, failing the test when it is missing.
template <typename T>
T* Child(const QWidget& parent, const char* name) {
  T* child = parent.findChild<T*>(QString::fromLatin1(name));
  EXPECT_NE(child, nullptr) << name;
  return child;
}

// Empties a field and types `text` into it key by key, as a user would.
inline void Type(QWidget* field, const QString& text) {
  QLineEdit* edit = qobject_cast<QLineEdit*>(field);
  if (edit == nullptr) {
    edit = field->findChild<QLineEdit*>();
  }
  edit->clear();
  QTest::keyClicks(field, text);
}

// Answers the next modal dialog of type T, once it is shown, with `answer`.
template <typename T, typename Answer>
void WhenShown(Answer answer) {
  QTimer::singleShot(0, [answer] {
    for (QWidget* widget : QApplication::topLevelWidgets()) {
      if (auto* dialog = qobject_cast<T*>(widget); dialog != nullptr && dialog->isVisible()) {
        answer(*dialog);
        return;
      }
    }
    ADD_FAILURE() << "no dialog was shown";
  });
}

}  // namespace kivo::test
