#include "app/gui/kelmorph_application.h"

#include <QMessageBox>
#include <exception>

#include "app/gui/error_display.h"
#include "app/gui/window_font.h"

namespace km::gui {

KelMorphApplication::KelMorphApplication(int& argc, char** argv) : QApplication(argc, argv) {
  // The name the window system lists the application under. No display
  // name: Qt would append it to every window caption, and the main window's
  // caption is a read-out of its own.
  setApplicationName("Kel-Morph");
  // Message boxes and dialogs in the windows' Japanese-capable font.
  setFont(WindowFont());
}

void KelMorphApplication::SetErrorDisplay(std::function<void(const std::string&)> display) {
  errorDisplay_ = std::move(display);
}

void KelMorphApplication::ShowError(const std::string& text) const {
  if (errorDisplay_) {
    errorDisplay_(text);
    return;
  }
  QMessageBox box(QMessageBox::NoIcon, "Kel-Morph", QString::fromStdString(text), QMessageBox::Ok);
  box.exec();
}

bool KelMorphApplication::notify(QObject* receiver, QEvent* event) {
  std::exception_ptr error;
  try {
    return QApplication::notify(receiver, event);
  } catch (...) {
    error = std::current_exception();
  }
  // A failing error display must not take the event loop down either.
  try {
    ShowError(ErrorText(error));
  } catch (...) {
  }
  return false;
}

}  // namespace km::gui
