#pragma once

#include <QString>
#include <cstdint>

#include "changes/CopyComparison.h"
#include "changes/EntryCopies.h"

namespace kivo {

// The history window's words for the values of an entry's history.

// Returns a time of the history (milliseconds since 1970 UTC) in local
// time, as "2026/12/07 19:15:00".
QString CheckTimeText(int64_t milliseconds);

// Returns the time of a line, or "----/--/-- --:--:--" for a copy from
// before the history.
QString LineTimeText(const CopyLine& line);

// Returns what came of a line's check: "更新", "変化なし (304)", "失敗 (...)".
QString OutcomeText(const CopyLine& line);

// Returns the size of a line's copy in bytes, with digit groups; empty for a
// check that stored none or a copy of unknown size.
QString SizeText(const CopyLine& line);

// Returns what the diff pane says for a line that stored no copy.
QString NoCopyText(const CopyLine& line);

// Returns why the copy at `path` was not compared.
QString CopyReadText(CopyRead read, const QString& path);

// Returns what the diff pane says for two copies that it shows no lines of.
QString DiffStatusText(TextDiffStatus status);

}  // namespace kivo
