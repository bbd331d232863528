#pragma once
// The application object. Its notify() is the last line of the standard
// error display: an exception that escapes any event handler is caught here,
// its text shown, and the event loop goes on.

#include <QApplication>
#include <functional>
#include <string>

namespace km::gui {

class KelMorphApplication : public QApplication {
 public:
  // argc/argv are Qt's own start-up arguments; the application reads none.
  KelMorphApplication(int& argc, char** argv);

  // Where an escaped exception's text goes; default: a message box titled
  // "Kel-Morph" with an OK button.
  void SetErrorDisplay(std::function<void(const std::string&)> display);
  void ShowError(const std::string& text) const;

  bool notify(QObject* receiver, QEvent* event) override;

 private:
  std::function<void(const std::string&)> errorDisplay_;
};

}  // namespace km::gui
