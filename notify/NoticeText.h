#pragma once

#include <QString>

#include "changes/ChangeNotice.h"

namespace kivo {

// Whether the notification service reads the body as markup, in which case
// the titles' own "<" and "&" must be escaped.
enum class BodyMarkup { Plain, Markup };

// Returns the notice's summary line: how many pages changed.
QString NoticeSummary(const ChangeNotice& notice);

// Returns the notice's body: one title per line and, after them, how many
// more pages changed. Control characters of the titles become spaces.
QString NoticeBody(const ChangeNotice& notice, BodyMarkup markup);

// Returns the label of the action that opens the first page's history.
QString HistoryActionLabel();

}  // namespace kivo
