#pragma once
// Everything the desktop application owns: the platform layer, the one
// Context and the two windows, wired to each other. The application makes
// one; a window test makes one with a fake dialog provider.

#include <memory>

#include "app/gui/main_form.h"
#include "app/gui/option_form.h"
#include "app/gui/qt_platform.h"
#include "common/context.h"

namespace km::gui {

struct Shell {
  explicit Shell(std::unique_ptr<DialogProvider> dialogs = std::make_unique<QtDialogProvider>());
  ~Shell();

  QtPlatform platform;
  Context ctx;
  TOptionForm OptionForm;  // created first: the main window refers to it
  TMainForm MainForm;
};

}  // namespace km::gui
