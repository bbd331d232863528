#include "app/gui/kelmorph_application.h"

#include <QMessageBox>
#include <exception>

#include "app/gui/error_display.h"

namespace km::gui {

KelMorphApplication::KelMorphApplication(int& argc, char** argv) : QApplication(argc, argv) {
  setApplicationName("Kel-Morph");
  setApplicationDisplayName("Kel-Morph");
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
