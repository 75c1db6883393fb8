#pragma once

namespace kivo::test {

inline constexpr char kLeakSuppressions[] = "leak:libfontconfig.so\n";
// Qt and GLib are not built with the sanitizer. Qt's GLib event dispatcher
// creates a wakeup eventfd on one thread and writes to it from another under
// GLib's own locking, which the sanitizer cannot see; these reports point
// only into the libraries, never into our code. The GLib lines repeat
// tests/tsan.supp for the programs the tests start.
inline constexpr char kThreadSuppressions[] =
    "called_from_lib:libglib-2.0.so.0\n"
    "race:libglib-2.0.so.0\n"
    "called_from_lib:libQt6Core.so.6\n"
    "called_from_lib:libQt6Gui.so.6\n"
    "called_from_lib:libQt6Widgets.so.6\n"
    "called_from_lib:libQt6Network.so.6\n";

}  // namespace kivo::test
