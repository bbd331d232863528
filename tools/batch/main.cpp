// kelmorph-batch: does what a user does in the windows, through the same
// core code, for scripting and reproducible results.

#include <QCoreApplication>
#include <QStringList>
#include <cstdio>
#include <cstring>
#include <functional>
#include <map>

#include "tools/batch/commands.h"

namespace {

const char* kUsage =
    "usage: kelmorph-batch COMMAND [ARGS]\n"
    "commands:\n"
    "  solve      fit the calibration from the settings' reference points\n"
    "  frames     list the frames of a sequence\n"
    "  scan       scan a frame sequence and save the model\n"
    "  calibrate  find the reference points on a reference frame and solve\n"
    "  synth      render a synthetic scene\n"
    "  demo       render, calibrate, scan and save the demo scene\n"
    "Run kelmorph-batch COMMAND --help for the options of a command.\n";

}  // namespace

int main(int argc, char** argv) {
  QCoreApplication app(argc, argv);
  QCoreApplication::setApplicationName("kelmorph-batch");
  const std::map<QString, std::function<int(const QStringList&)>> commands = {
      {"solve", km::batch::SolveCommand},         {"frames", km::batch::FramesCommand},
      {"scan", km::batch::ScanCommand},           {"calibrate", km::batch::CalibrateCommand},
      {"synth", km::batch::SynthCommand},         {"demo", km::batch::DemoCommand},
  };
  if (argc < 2) {
    std::fputs(kUsage, stderr);
    return 1;
  }
  const QString name = QString::fromLocal8Bit(argv[1]);
  if (name == "--help" || name == "-h") {
    std::fputs(kUsage, stdout);
    return 0;
  }
  auto it = commands.find(name);
  if (it == commands.end()) {
    std::fprintf(stderr, "kelmorph-batch: unknown command '%s'\n%s", argv[1], kUsage);
    return 1;
  }
  QStringList args;
  args << QStringLiteral("kelmorph-batch ") + name;  // argv[0] for the command's parser
  for (int i = 2; i < argc; ++i) args << QString::fromLocal8Bit(argv[i]);
  return it->second(args);
}
