#include "export/save_command.h"

#include <algorithm>

#include "common/errors.h"
#include "common/numbers.h"
#include "export/atomic_save.h"
#include "export/csv_writer.h"
#include "export/dxf_writer.h"
#include "export/mqo_writer.h"
#include "export/thinning.h"
#include "export/vrml_writer.h"

namespace km {
namespace {

struct ThinningParameters {
  int32_t maxPolygonLength;
  float errorThreshold;
};

// Both texts are converted for every mode, RAW CSV included, whole number
// first.
ThinningParameters ConvertParameters(const SettingsState& settings) {
  ThinningParameters params;
  params.maxPolygonLength = ParseWhole(settings.Edit(4).text);
  params.errorThreshold = ToSingle(ParseDecimal(settings.Edit(3).text));
  return params;
}

long long StoredPointCount(const PointCloudStore& store, int frameCounter) {
  long long points = 0;
  for (int p = 0; p <= std::min(frameCounter, PointCloudStore::MaxProfiles - 1); ++p)
    if (store.lastIndex[p] >= 0) points += store.lastIndex[p] + 1;
  return points;
}

}  // namespace

std::string OutputExtension(int outputMode) {
  static const char* const kExtensions[] = {".wrl", ".wrl", ".dxf", ".mqo", ".csv"};
  return outputMode >= 0 && outputMode < 5 ? kExtensions[outputMode] : "";
}

int OutputFilterIndex(int outputMode) {
  static const int kFilterIndex[] = {1, 1, 2, 3, 4};
  return outputMode >= 0 && outputMode < 5 ? kFilterIndex[outputMode] : 0;
}

void SaveModelCommand(Context& ctx) {
  ConvertParameters(ctx.settings);
  const int mode = ctx.settings.RadioGroup1.index;
  const std::string extension = OutputExtension(mode);
  if (extension.empty()) {
    ctx.platform.ShowMessage(kNoOutputModeMessage);
    return;
  }
  // Stays until the next LOAD, also when the dialog is cancelled.
  ctx.workspace.sequenceName.extension = extension;

  FileDialogRequest request;
  request.filter = kModelFileFilter;
  request.filterIndex = OutputFilterIndex(mode);
  request.fileName = ctx.workspace.sequenceName.displayName + extension;
  request.overwritePrompt = true;
  const std::optional<std::string> chosen = ctx.platform.SaveFileDialog(request);
  if (!chosen) return;
  // The chosen path is used as it stands: the file lands in the folder the
  // user picked, whatever the current directory is.
  WriteModelFile(ctx, *chosen);
}

ModelFileStats WriteModelFile(Context& ctx, const std::string& path) {
  const ThinningParameters params = ConvertParameters(ctx.settings);
  const int mode = ctx.settings.RadioGroup1.index;
  const int frameCounter = ctx.workspace.frameCounter;
  const PointCloudStore& store = *ctx.store;

  if (mode == kOutputCsv) {
    SaveFileAtomically(path, [&](std::ostream& out) { WriteRawCsv(out, store, frameCounter); });
    return {StoredPointCount(store, frameCounter), 0};
  }
  if (OutputExtension(mode).empty()) throw KelError(kNoOutputModeMessage);

  const ThinnedProfiles model =
      ThinProfiles(store, frameCounter, params.maxPolygonLength, params.errorThreshold);
  switch (mode) {
    case kOutputVrml1:
      WriteVrml(path, model, 1);
      break;
    case kOutputVrml2:
      WriteVrml(path, model, 2);
      break;
    case kOutputDxf:
      WriteDxf(path, model);
      break;
    default:
      WriteMqo(path, model);
      break;
  }
  return {model.vertexCount, CountFaces(model)};
}

}  // namespace km
