#include "app/frame_loading.h"

#include <cstdint>
#include <optional>
#include <string>
#include <utility>

#include "app/frame_decoders.h"
#include "common/numbers.h"

namespace km {
namespace {

constexpr char kSeparator = '/';

constexpr const char* kOpenFilter = "画像ファイル|*.jpg;*.bmp|Raw CSVファイル|*.csv|全て|*.*";

// Lower case for the ASCII letters only: bytes of multi-byte characters
// stay as they are.
std::string AsciiLower(std::string text) {
  for (char& c : text) {
    if (c >= 'A' && c <= 'Z') c = static_cast<char>(c - 'A' + 'a');
  }
  return text;
}

// Decimal with at least four digits, zero-filled, the minus sign in front.
std::string FrameNumberText(int64_t number) {
  std::string digits = std::to_string(number < 0 ? -number : number);
  if (digits.size() < 4) digits.insert(0, 4 - digits.size(), '0');
  return number < 0 ? "-" + digits : digits;
}

}  // namespace

SequenceName SplitFramePath(const std::string& path) {
  SequenceName parts;
  const size_t slash = path.rfind(kSeparator);
  const size_t nameStart = slash == std::string::npos ? 0 : slash + 1;
  parts.directory = path.substr(0, nameStart);
  const std::string name = path.substr(nameStart);
  const size_t length = name.size();

  const size_t dot = path.rfind('.');
  if (dot != std::string::npos && dot >= nameStart) parts.extension = AsciiLower(path.substr(dot));

  // The last four characters are taken as the extension and the four before
  // them as the number, whatever they hold.
  if (length >= 8) {
    parts.numberText = name.substr(length - 8, 4);
  } else {
    parts.numberText = name.substr(0, 4);
  }
  if (length > 8) parts.baseName = name.substr(0, length - 8);
  if (length > 4) parts.displayName = name.substr(0, length - 4);
  return parts;
}

std::string ComposeFramePath(const Context& ctx, int k) {
  const SequenceName& parts = ctx.workspace.sequenceName;
  const int64_t number = int64_t{ParseWhole(parts.numberText)} + k;
  return parts.directory + parts.baseName + FrameNumberText(number) + parts.extension;
}

bool DecodeFrameFile(Context& ctx, const std::string& path, const std::string& extension) {
  // Decoded into a raster of its own, so that a failure leaves the frame
  // before it in the working raster and on screen.
  Raster decoded;
  if (extension == ".jpg") {
    if (!DecodeJpegFile(path, decoded)) return false;
  } else if (extension == ".bmp") {
    if (!DecodeBmpFile(path, decoded)) return false;
  } else {
    return true;
  }
  ctx.workspace.workingRaster = std::move(decoded);
  ctx.platform.ShowPicture(ctx.workspace.workingRaster);
  return true;
}

bool LoadSequenceFrame(Context& ctx, int k) {
  const std::string path = ComposeFramePath(ctx, k);
  // A sequence whose extension names no frame format (a CSV chosen in the
  // dialog, or the model extension left by SAVE) has no next frame: ending
  // it here keeps a scan from storing the shown frame again and again.
  const std::string& extension = ctx.workspace.sequenceName.extension;
  if (extension != ".jpg" && extension != ".bmp") return false;
  return DecodeFrameFile(ctx, path, extension);
}

void LoadFrameCommand(Context& ctx) {
  // Reset before the dialog, so also when it is cancelled.
  ctx.workspace.dragging = 0;
  ctx.workspace.workingRect = PixelRect{};
  FileDialogRequest request;
  request.filter = kOpenFilter;
  request.filterIndex = 1;
  request.initialDir = ".";
  const std::optional<std::string> chosen = ctx.platform.OpenFileDialog(request);
  if (!chosen) return;
  LoadFramePath(ctx, *chosen);
}

void LoadFramePath(Context& ctx, const std::string& path) {
  ctx.workspace.sequenceName = SplitFramePath(path);
  ctx.platform.SetScrollX(0);
  ctx.platform.SetScrollY(0);
  // The working raster always holds 24 bits per pixel; nothing to convert.
  const std::string& extension = ctx.workspace.sequenceName.extension;
  if (extension != ".jpg" && extension != ".bmp") return;
  if (!DecodeFrameFile(ctx, path, extension)) return;
  const Raster& frame = ctx.workspace.workingRaster;
  ctx.calib.imageWidth = frame.width;
  ctx.calib.imageHeight = frame.height;
  // Halved in integer arithmetic before the conversion to float.
  ctx.calib.halfWidth = static_cast<float>(frame.width / 2);
  ctx.calib.halfHeight = static_cast<float>(frame.height / 2);
}

}  // namespace km
