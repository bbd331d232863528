#pragma once
// The application's standard error display. Every window handler runs
// through RunHandler, so an exception never crosses the Qt event loop: its
// text is shown in the platform's message box and the loop goes on. What the
// handler changed before the error stays changed.

#include <exception>
#include <functional>
#include <string>

#include "common/platform.h"

namespace km::gui {

// The text shown for an exception: what() of a standard exception, a fixed
// text for anything else.
std::string ErrorText(const std::exception_ptr& error);

// Runs handler; an exception that escapes it is shown with
// platform.ShowMessage after onError (if set) has run. Returns whether the
// handler ended normally.
bool RunHandler(Platform& platform, const std::function<void()>& handler,
                const std::function<void()>& onError = {});

}  // namespace km::gui
