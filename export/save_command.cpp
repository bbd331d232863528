#include "export/save_command.h"

#include <fstream>

#include "export/csv_writer.h"

namespace km {

void SaveModelCommand(Context&) {}

std::string OutputExtension(int outputMode) {
  static const char* const kExtensions[] = {".wrl", ".wrl", ".dxf", ".mqo", ".csv"};
  return outputMode >= 0 && outputMode < 5 ? kExtensions[outputMode] : "";
}

ModelFileStats WriteModelFile(Context& ctx, const std::string& path) {
  // Placeholder until the model writers exist: raw points only.
  std::ofstream out(path, std::ios::binary);
  WriteRawCsv(out, *ctx.store, ctx.workspace.frameCounter);
  return {};
}

}  // namespace km
