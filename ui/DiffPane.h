#pragma once

#include <QPlainTextEdit>

#include "html/TextDiff.h"

namespace kivo {

// The history window's read-only view of a text diff: each hunk under a
// "@@" line, removed lines marked "-" on red, added lines "+" on green, and
// within them the changed words on a deeper shade. The marks make the lines
// tell apart without colours too.
class DiffPane final : public QPlainTextEdit {
  Q_OBJECT

 public:
  explicit DiffPane(QWidget* parent);

  // Shows the hunks of `diff` from its start.
  void ShowDiff(const TextDiff& diff);
  // Shows no diff.
  void Clear();
};

}  // namespace kivo
