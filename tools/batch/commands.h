#pragma once
// Subcommands of kelmorph-batch. Each takes the arguments after its name and
// returns the process exit status: 0 success, 1 usage error, 2 a failure
// that the windows would report in a message box.

#include <QStringList>

namespace km::batch {

int SolveCommand(const QStringList& args);
int FramesCommand(const QStringList& args);
int ScanCommand(const QStringList& args);
int CalibrateCommand(const QStringList& args);
int SynthCommand(const QStringList& args);
int DemoCommand(const QStringList& args);

}  // namespace km::batch
