// kelmorph-batch solve: the settings window's "更新" without the window.

#include <QCommandLineParser>
#include <cstdio>
#include <string>

#include "calib/calibration_solve.h"
#include "calib/settings_file.h"
#include "common/context.h"
#include "common/errors.h"
#include "common/numbers.h"
#include "tools/batch/batch_support.h"
#include "tools/batch/commands.h"

namespace km::batch {
namespace {

const char* kSolveUsage =
    "usage: kelmorph-batch solve [--settings FILE.cfg] --frame-size WxH [--save-settings OUT.cfg]\n"
    "Starts from the default settings, loads FILE.cfg when given, centres the\n"
    "reference points on a frame of the given size, solves the calibration and\n"
    "prints XL, h, Z0, f and centerX. --save-settings then writes the settings\n"
    "as the settings window's SAVE does.\n";

}  // namespace

int SolveCommand(const QStringList& args) {
  QCommandLineParser parser;
  parser.setSingleDashWordOptionMode(QCommandLineParser::ParseAsLongOptions);
  const QCommandLineOption settingsOption("settings", "Settings file to load first.", "FILE.cfg");
  const QCommandLineOption sizeOption("frame-size", "Size of the loaded frame in pixels.", "WxH");
  const QCommandLineOption saveOption("save-settings", "Write the settings to this file afterwards.",
                                      "OUT.cfg");
  const QCommandLineOption helpOption({"h", "help"}, "Show this help.");
  parser.addOptions({settingsOption, sizeOption, saveOption, helpOption});
  const QString usage = QString::fromUtf8(kSolveUsage);

  if (!parser.parse(args)) return UsageError(usage, parser.errorText().toStdString());
  if (parser.isSet(helpOption)) {
    std::fputs(kSolveUsage, stdout);
    return 0;
  }
  if (!parser.positionalArguments().isEmpty())
    return UsageError(usage,
                      "unexpected argument '" + parser.positionalArguments().first().toStdString() + "'");
  for (const auto* option : {&settingsOption, &sizeOption, &saveOption}) {
    if (parser.values(*option).size() > 1)
      return UsageError(usage, "--" + option->names().first().toStdString() + " given more than once");
  }
  if (!parser.isSet(sizeOption)) return UsageError(usage, "--frame-size is required");
  const auto size = ParseSizeArg(parser.value(sizeOption));
  if (!size) return UsageError(usage, "--frame-size needs WxH, e.g. 2048x1536");

  BatchPlatform platform;
  Context ctx(platform);
  try {
    if (parser.isSet(settingsOption)) ReadSettingsFile(ctx, PathArg(parser.value(settingsOption)));
    // As frame loading records a frame: half sizes by integer division.
    const auto [width, height] = *size;
    ctx.calib.imageWidth = width;
    ctx.calib.imageHeight = height;
    ctx.calib.halfWidth = static_cast<float>(width / 2);
    ctx.calib.halfHeight = static_cast<float>(height / 2);
    SolveCalibration(ctx);

    const SettingsState& s = ctx.settings;
    std::printf("XL: %s\nh: %s\nZ0: %s\nf: %s\ncenterX: %s\n", s.Edit(29).text.c_str(),
                s.Edit(30).text.c_str(), s.Edit(31).text.c_str(), s.Edit(32).text.c_str(),
                GeneralNumberText(ctx.calib.centerX).c_str());
    std::fflush(stdout);

    if (parser.isSet(saveOption)) WriteSettingsFile(ctx, PathArg(parser.value(saveOption)));
  } catch (const KelError& e) {
    return Failure(e.what());
  }
  return 0;
}

}  // namespace km::batch
