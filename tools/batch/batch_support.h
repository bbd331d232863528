#pragma once
// Small pieces every kelmorph-batch command shares.

#include <QString>
#include <optional>
#include <string>

#include "app/workspace_state.h"
#include "common/headless_platform.h"

namespace km::batch {

// "X1,Y1,X2,Y2" as a rectangle, corners kept as given; nullopt if malformed.
std::optional<PixelRect> ParseRectArg(const QString& text);

// "WxH" as two positive integers; nullopt if malformed.
std::optional<std::pair<int, int>> ParseSizeArg(const QString& text);

// A headless platform that prints every message box to standard error.
class BatchPlatform : public HeadlessPlatform {
 public:
  BatchPlatform() { echoMessages = true; }
};

// Prints "kelmorph-batch: <message>" to standard error and returns 1, or
// the usage text and 1.
int UsageError(const QString& usage, const std::string& message);

// Prints an error's text to standard error and returns 2.
int Failure(const std::string& message);

// Local 8-bit path of an argument.
std::string PathArg(const QString& arg);

}  // namespace km::batch
