#pragma once

class QApplication;
class QTranslator;

namespace kivo {

// Loads Qt's Japanese catalogue into `translator` and installs it in `app`,
// so that Qt's own texts (the buttons of its standard dialogs, the context
// menus of text fields) are Japanese like the rest of the interface, whatever
// the desktop's language. `translator` must outlive its use.
void InstallQtTranslation(QApplication& app, QTranslator& translator);

// Runs the desktop program with the process's command line and returns its
// exit status: 0 after an orderly end or when another copy was brought to
// the front, 1 when kivo-cli is working on the same program folder.
int RunGui(int argc, char** argv);

}  // namespace kivo
