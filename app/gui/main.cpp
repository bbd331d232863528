// Kel-Morph desktop application: the main window and the hidden settings
// window, then the event loop until the main window is closed.

#include <exception>
#include <memory>

#include "app/gui/error_display.h"
#include "app/gui/kelmorph_application.h"
#include "app/gui/shell.h"

int main(int, char** argv) {
  // No command-line argument is read, not even Qt's own options.
  int qtArgc = 1;
  char* qtArgv[] = {argv[0], nullptr};
  km::gui::KelMorphApplication app(qtArgc, qtArgv);
  try {
    km::gui::Shell shell;
    app.SetErrorDisplay([&shell](const std::string& text) { shell.platform.ShowMessage(text); });
    shell.MainForm.show();
    app.exec();
    app.SetErrorDisplay({});
  } catch (...) {
    app.SetErrorDisplay({});
    app.ShowError(km::gui::ErrorText(std::current_exception()));
  }
  return 0;
}
