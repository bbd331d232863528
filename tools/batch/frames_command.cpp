// kelmorph-batch frames FIRST_FRAME [--hash]: the name parts of the first
// frame and every frame that a scan run started on it would read.

#include <QByteArrayView>
#include <QCommandLineParser>
#include <QCryptographicHash>
#include <cstdio>
#include <string>

#include "app/frame_loading.h"
#include "common/errors.h"
#include "scan/point_cloud_store.h"
#include "tools/batch/batch_support.h"
#include "tools/batch/commands.h"

namespace km::batch {
namespace {

// SHA-256 of the raster's rows, top to bottom, blue, green, red, no padding.
std::string RasterHash(const Raster& raster) {
  const QByteArrayView bytes(raster.pixels.data(), static_cast<qsizetype>(raster.pixels.size()));
  return QCryptographicHash::hash(bytes, QCryptographicHash::Sha256).toHex().toStdString();
}

void PrintFrame(const std::string& path, const Raster& raster, bool withHash) {
  std::printf("%s\t%d\t%d", path.c_str(), raster.width, raster.height);
  if (withHash) std::printf("\t%s", RasterHash(raster).c_str());
  std::printf("\n");
}

// Qt names the program by its file path in the usage line; the command's
// own name (args[0], e.g. "kelmorph-batch frames") says more.
QString HelpText(const QCommandLineParser& parser, const QString& program) {
  QString help = parser.helpText();
  const qsizetype start = help.indexOf(": ") + 2, end = help.indexOf(" [options]");
  if (start >= 2 && end > start) help.replace(start, end - start, program);
  return help;
}

}  // namespace

int FramesCommand(const QStringList& args) {
  QCommandLineParser parser;
  parser.setApplicationDescription(
      "Lists the frames a scan would read: FIRST_FRAME, then the frames numbered after it, up to the "
      "first one that is missing or does not decode, at most 719.\n"
      "Prints the name parts of FIRST_FRAME, one line per frame (path, width, height, tab-separated) "
      "and a last line \"N frames\".");
  parser.addHelpOption();
  parser.addPositionalArgument("FIRST_FRAME", "first frame of the sequence (.jpg or .bmp)");
  const QCommandLineOption hashOption(
      "hash",
      "End each frame line with the SHA-256 (hex) of the decoded pixels: rows top to bottom, "
      "3 bytes per pixel in blue, green, red order, no padding.");
  parser.addOption(hashOption);
  const QString program = args.value(0);
  if (!parser.parse(args)) return UsageError(HelpText(parser, program), parser.errorText().toStdString());
  if (parser.isSet("help")) {
    std::fputs(HelpText(parser, program).toLocal8Bit().constData(), stdout);
    return 0;
  }
  const QStringList positional = parser.positionalArguments();
  if (positional.size() != 1) return UsageError(HelpText(parser, program), "expected one FIRST_FRAME");
  const bool withHash = parser.isSet(hashOption);

  BatchPlatform platform;
  Context ctx(platform);
  const std::string first = PathArg(positional[0]);
  ctx.workspace.sequenceName = SplitFramePath(first);
  const SequenceName& name = ctx.workspace.sequenceName;
  std::printf("directory=%s\nbaseName=%s\nnumberText=%s\nextension=%s\ndisplayName=%s\n",
              name.directory.c_str(), name.baseName.c_str(), name.numberText.c_str(), name.extension.c_str(),
              name.displayName.c_str());

  // Only JPEG and BMP frames decode; LOAD shows nothing for any other file.
  const bool frameFile = name.extension == ".jpg" || name.extension == ".bmp";
  int frames = 0;
  try {
    std::string path = first;
    bool decoded = frameFile && DecodeFrameFile(ctx, path, name.extension);
    while (decoded) {
      PrintFrame(path, ctx.workspace.workingRaster, withHash);
      if (++frames == PointCloudStore::MaxFrames) break;
      path = ComposeFramePath(ctx, frames);
      decoded = LoadSequenceFrame(ctx, frames);
    }
  } catch (const KelError& e) {
    // A number text that is no integer: the scan run ends with this message.
    std::printf("%d frames\n", frames);
    std::fflush(stdout);
    return Failure(e.what());
  }
  std::printf("%d frames\n", frames);
  return 0;
}

}  // namespace km::batch
