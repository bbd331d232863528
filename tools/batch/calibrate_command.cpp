// kelmorph-batch calibrate: LOAD a photo of the reference body, drag the
// reference rectangle and press Ref_read, without the windows.

#include <QCommandLineParser>
#include <cstdio>
#include <string>

#include "app/frame_loading.h"
#include "calib/settings_file.h"
#include "common/context.h"
#include "common/errors.h"
#include "common/numbers.h"
#include "scan/reference_detection.h"
#include "tools/batch/batch_support.h"
#include "tools/batch/commands.h"

namespace km::batch {
namespace {

const char* kCalibrateUsage =
    "usage: kelmorph-batch calibrate REF_FRAME --ref-rect X1,Y1,X2,Y2 [--settings FILE.cfg]\n"
    "                                [--save-settings OUT.cfg]\n"
    "Loads the settings file when given, loads REF_FRAME, marks the reference\n"
    "rectangle (corners as dragged) and finds the reference points as Ref_read\n"
    "does. Prints the five screen points and the solved XL, h, Z0, f and\n"
    "centerX; --save-settings then writes the settings with the new points.\n"
    "When the reference body is not found the message goes to standard error\n"
    "and the exit status is 2.\n";

}  // namespace

int CalibrateCommand(const QStringList& args) {
  QCommandLineParser parser;
  parser.setSingleDashWordOptionMode(QCommandLineParser::ParseAsLongOptions);
  const QCommandLineOption refRectOption("ref-rect", "Reference rectangle, corners as dragged.",
                                         "X1,Y1,X2,Y2");
  const QCommandLineOption settingsOption("settings", "Settings file to load first.", "FILE.cfg");
  const QCommandLineOption saveOption("save-settings", "Write the settings to this file afterwards.",
                                      "OUT.cfg");
  const QCommandLineOption helpOption({"h", "help"}, "Show this help.");
  parser.addOptions({refRectOption, settingsOption, saveOption, helpOption});
  const QString usage = QString::fromUtf8(kCalibrateUsage);

  if (!parser.parse(args)) return UsageError(usage, parser.errorText().toStdString());
  if (parser.isSet(helpOption)) {
    std::fputs(kCalibrateUsage, stdout);
    return 0;
  }
  const QStringList positional = parser.positionalArguments();
  if (positional.size() != 1)
    return UsageError(usage, positional.isEmpty() ? "REF_FRAME is required" : "one REF_FRAME only");
  for (const auto* option : {&refRectOption, &settingsOption, &saveOption}) {
    if (parser.values(*option).size() > 1)
      return UsageError(usage, "--" + option->names().first().toStdString() + " given more than once");
  }
  if (!parser.isSet(refRectOption)) return UsageError(usage, "--ref-rect is required");
  const auto refRect = ParseRectArg(parser.value(refRectOption));
  if (!refRect) return UsageError(usage, "--ref-rect needs X1,Y1,X2,Y2");
  if (refRect->Empty()) return UsageError(usage, "--ref-rect is empty");

  BatchPlatform platform;
  Context ctx(platform);
  try {
    if (parser.isSet(settingsOption)) ReadSettingsFile(ctx, PathArg(parser.value(settingsOption)));
    const std::string frame = PathArg(positional.first());
    LoadFramePath(ctx, frame);
    if (ctx.workspace.workingRaster.Empty())
      return Failure(frame + ": not a JPEG or BMP frame that can be read");
    ctx.workspace.referenceRect = *refRect;

    DetectReference(ctx);
    // The failure message has gone to standard error already.
    if (!platform.messages.empty()) return 2;

    const SettingsState& s = ctx.settings;
    for (int j = 1; j <= 5; ++j)
      std::printf("point %d: %s %s\n", j, s.Edit(3 + 2 * j).text.c_str(), s.Edit(4 + 2 * j).text.c_str());
    std::printf("XL: %s\nh: %s\nZ0: %s\nf: %s\ncenterX: %s\n", s.Edit(29).text.c_str(),
                s.Edit(30).text.c_str(), s.Edit(31).text.c_str(), s.Edit(32).text.c_str(),
                GeneralNumberText(ctx.calib.centerX).c_str());
    std::fflush(stdout);

    if (parser.isSet(saveOption)) WriteSettingsFile(ctx, PathArg(parser.value(saveOption)));
  } catch (const std::exception& e) {
    return Failure(e.what());
  }
  return 0;
}

}  // namespace km::batch
