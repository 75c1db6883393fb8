#pragma once

#include <optional>

#include <QString>

#include "patrol/FetchProgress.h"
#include "patrol/PatrolView.h"

namespace kivo {

// Returns the state line's text for `state`: "ﾀﾞｳﾝﾛｰﾄﾞ中...", "解析中..." or "書換中...".
QString PatrolStateText(PatrolState state);

// Returns the byte-count text: "received/total", "received", or the empty
// text for no count.
QString ByteCountText(const std::optional<ByteCount>& count);

// Returns the stop message for `error`, in the dialog's Japanese, with the
// folder and, for an unusable folder, the reason. No HTTP session keeps the
// program's historic message "Internet open error.".
QString PatrolErrorText(const PatrolError& error);

}  // namespace kivo
