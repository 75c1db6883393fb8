#pragma once

#include <QString>

class QWidget;

namespace kivo {

// Hands `path` to the desktop's default opener; false when there is none to
// start.
bool OpenWithDesktop(const QString& path);

// Opens the stored copy at `path` the way the command "表示" does: a copy
// that is gone opens nothing, and a desktop without an opener is told in a
// box over `parent`. Returns false only in that last case.
bool OpenStoredCopy(QWidget* parent, const QString& path);

}  // namespace kivo
