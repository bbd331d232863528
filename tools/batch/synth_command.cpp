#include <cstdio>

#include "tools/batch/commands.h"

namespace km::batch {

int SynthCommand(const QStringList&) {
  std::fprintf(stderr, "kelmorph-batch: 'synth' is not available in this build\n");
  return 1;
}

}  // namespace km::batch
