#include "app/gui/error_display.h"

namespace km::gui {

std::string ErrorText(const std::exception_ptr& error) {
  try {
    std::rethrow_exception(error);
  } catch (const std::exception& e) {
    return e.what();
  } catch (...) {
    return "Unknown error";
  }
}

bool RunHandler(Platform& platform, const std::function<void()>& handler,
                const std::function<void()>& onError) {
  std::exception_ptr error;
  try {
    handler();
    return true;
  } catch (...) {
    error = std::current_exception();
  }
  // Outside the catch block: the message box runs a nested event loop.
  if (onError) onError();
  platform.ShowMessage(ErrorText(error));
  return false;
}

}  // namespace km::gui
