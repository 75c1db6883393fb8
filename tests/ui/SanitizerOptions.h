#pragma once

namespace kivo::test {

inline constexpr char kLeakSuppressions[] = "leak:libfontconfig.so\n";
inline constexpr char kThreadSuppressions[] =
    "called_from_lib:libQt6Core.so.6\n"
    "called_from_lib:libQt6Gui.so.6\n"
    "called_from_lib:libQt6Widgets.so.6\n"
    "called_from_lib:libQt6Network.so.6\n";

}  // namespace kivo::test
