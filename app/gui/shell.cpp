#include "app/gui/shell.h"

namespace km::gui {

Shell::Shell(std::unique_ptr<DialogProvider> dialogs)
    : platform(std::move(dialogs)), ctx(platform), OptionForm(ctx), MainForm(ctx, OptionForm) {
  platform.Attach(&MainForm, &OptionForm);
}

Shell::~Shell() { platform.Attach(nullptr, nullptr); }

}  // namespace km::gui
