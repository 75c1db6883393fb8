#include "ui/DiffPane.h"

#include <QTextBlock>
#include <QTextCursor>

namespace kivo {
namespace {

// Light shades for the lines, deeper ones for their changed words, all read
// with dark text whatever the desktop's colours.
const QColor kRemovedLine(0xff, 0xeb, 0xe9);
const QColor kRemovedWords(0xff, 0xb3, 0xad);
const QColor kAddedLine(0xe6, 0xff, 0xec);
const QColor kAddedWords(0xab, 0xf2, 0xbc);
const QColor kLineText(0x1f, 0x23, 0x28);
const QColor kHunkText(0x57, 0x60, 0x6a);

QString Printable(std::u16string_view text) {
  QString line = QString::fromUtf16(text.data(), static_cast<qsizetype>(text.size()));
  for (QChar& ch : line) {
    if (ch.unicode() < 0x20 || (ch.unicode() >= 0x7F && ch.unicode() <= 0x9F)) {
      ch = QLatin1Char(' ');
    }
  }
  return line;
}

QTextCharFormat Shade(const QColor& background, const QColor& text) {
  QTextCharFormat format;
  format.setBackground(background);
  format.setForeground(text);
  return format;
}

QString Range(size_t start, size_t count) {
  return QStringLiteral("%1,%2").arg(count == 0 ? start : start + 1).arg(count);
}

void AppendLine(QTextCursor& cursor, const DiffLine& line) {
  const bool removed = line.Kind == DiffLineKind::Removed;
  const bool kept = line.Kind == DiffLineKind::Kept;
  QTextBlockFormat block;
  if (!kept) {
    block.setBackground(removed ? kRemovedLine : kAddedLine);
  }
  cursor.insertBlock(block);
  const QTextCharFormat plain =
      kept ? QTextCharFormat() : Shade(removed ? kRemovedLine : kAddedLine, kLineText);
  const QTextCharFormat words = Shade(removed ? kRemovedWords : kAddedWords, kLineText);
  cursor.insertText(kept      ? QStringLiteral("  ")
                    : removed ? QStringLiteral("- ")
                              : QStringLiteral("+ "),
                    plain);
  const QString text = Printable(line.Text);
  qsizetype at = 0;
  for (const DiffSpan& span : line.Changed) {
    const auto begin = static_cast<qsizetype>(span.Begin);
    const auto length = static_cast<qsizetype>(span.Length);
    if (begin < at || begin + length > text.size()) {
      continue;
    }
    cursor.insertText(text.mid(at, begin - at), plain);
    cursor.insertText(text.mid(begin, length), words);
    at = begin + length;
  }
  cursor.insertText(text.mid(at), plain);
}

}  // namespace

DiffPane::DiffPane(QWidget* parent) : QPlainTextEdit(parent) {
  setReadOnly(true);
  setLineWrapMode(QPlainTextEdit::WidgetWidth);
  // The keyboard moves through the text as through any read-only text.
  setTextInteractionFlags(Qt::TextSelectableByKeyboard | Qt::TextSelectableByMouse);
  setTabChangesFocus(true);
}

void DiffPane::ShowDiff(const TextDiff& diff) {
  clear();
  QTextCursor cursor(document());
  cursor.beginEditBlock();
  bool first = true;
  QTextCharFormat hunkFormat;
  hunkFormat.setForeground(kHunkText);
  for (const DiffHunk& hunk : diff.Hunks) {
    if (!first) {
      cursor.insertBlock(QTextBlockFormat());
    }
    cursor.insertText(
        QStringLiteral("@@ -%1 +%2 @@")
            .arg(Range(hunk.OldStart, hunk.OldCount), Range(hunk.NewStart, hunk.NewCount)),
        hunkFormat);
    first = false;
    for (const DiffLine& line : hunk.Lines) {
      AppendLine(cursor, line);
    }
  }
  cursor.endEditBlock();
  moveCursor(QTextCursor::Start);
}

void DiffPane::Clear() {
  clear();
}

}  // namespace kivo
