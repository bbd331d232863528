#include "scan/reference_detection.h"

#include <algorithm>
#include <array>
#include <cstdlib>

#include "calib/calibration_solve.h"

namespace km {
namespace {

constexpr Rgb kSlopeColour{0, 255, 0};  // lime
constexpr int kSlopeGraphOffset = 64;   // graph columns left of the rectangle
constexpr int kCornerRadius = 5;

// Column offset of the stripe in one row (-1: none); W >= 4.
int DetectReferenceRow(const uint8_t* pixels, int W, const StripeSettings& s, StripeRowBuffers& buf) {
  int32_t* in = buf.intensity.data();
  int32_t* diff = buf.diff.data();
  for (int i = 0; i <= W; ++i) in[i] = pixels[3 * i] + pixels[3 * i + 1] + pixels[3 * i + 2];

  // Smoothing in place over 2 .. W - 2, its width set by the frame width;
  // max and mean are taken over the smoothed positions only.
  int32_t max = 0;
  int64_t sum = 0;
  for (int i = 2; i <= W - 2; ++i) {
    int32_t v;
    if (s.centreX > 800)
      v = (in[i - 2] + in[i - 1] + in[i] + in[i + 1] + in[i + 2]) / 5;
    else if (s.centreX > 400)
      v = (in[i - 1] + in[i] + in[i + 1]) / 3;
    else
      v = (in[i - 1] + in[i]) / 2;
    in[i] = v;
    max = std::max(max, v);
    sum += v;
  }
  const Ext mean = SingleMean(sum, W - 3);

  int risePos = 0;
  int32_t runMax = 0;
  diff[0] = diff[1] = 0;
  for (int i = 2; i <= W; ++i) {
    diff[i] = in[i] - in[i - 2];
    if (diff[i] > runMax) risePos = i, runMax = diff[i];
  }

  if (s.stepLighting) {
    // The first column that stands clearly above the mean after two dark ones.
    const Ext bound = mean + (max - mean) * static_cast<Ext>(0.1);
    for (int i = 3; i <= W; ++i) {
      if (in[i - 3] < mean && in[i - 2] < mean && in[i] > bound) return i;
    }
    return -1;
  }
  const Ext bright = mean + (max - mean) * 0.5L;
  if (diff[risePos] > s.minDiff && in[risePos] > bright && max > 270) return risePos;
  return -1;
}

}  // namespace

void DetectReferenceRows(const Raster& raster, const PixelRect& area, StripeTable& table,
                         const StripeSettings& settings, StripeRowBuffers& buffers) {
  const PixelRect r = ClipDetectionRect(area, raster);
  const int W = r.x2 - r.x1;
  for (int y = r.y1; y <= r.y2; ++y) {
    table.column[y] = -1;
    if (W < 4) continue;  // no samples for the mean
    const int i = DetectReferenceRow(raster.Row(y) + static_cast<size_t>(r.x1) * 3, W, settings, buffers);
    if (i >= 0) table.column[y] = static_cast<float>(r.x1 + i);
  }
}

void DetectReference(Context& ctx) {
  WorkspaceState& ws = ctx.workspace;
  ws.workingRect = ws.referenceRect;
  if (ws.workingRect.Empty()) return;
  ws.workingRect = OrderedRect(ws.workingRect);
  Canvas& canvas = ctx.platform.ViewCanvas();
  canvas.SetPenMode(PenMode::Copy);

  const PixelRect area = ClipDetectionRect(ws.workingRect, ws.workingRaster);
  StripeTable& table = ctx.referenceTable;
  if (area.y1 <= area.y2) {
    const StripeSettings settings = ReadStripeSettings(ctx.settings, ctx.calib);
    StripeRowBuffers buffers;
    DetectReferenceRows(ws.workingRaster, area, table, settings, buffers);
  }

  std::array<int, kMaxCornerRows> cornerRows;
  int corners = 0;
  if (const auto span = FindStripeSpan(table, area)) {
    const int first = span->first, last = span->last;
    TraceStripe(table, first, last, canvas);
    FilterStripe(table, first, last);

    // slope[i] < 4 in magnitude: the column moves by less than a pixel from
    // row first + i - 1 to row first + i. Entry 1 stays 0 by design.
    std::array<int32_t, StripeTable::Rows + 1> slope;
    const int rows = last - first;
    slope[0] = slope[1] = 0;
    for (int i = 2; i <= rows; ++i) {
      const Ext step = static_cast<Ext>(table.column[first + i]) - table.column[first + i - 1];
      slope[i] = static_cast<int32_t>(Trunc(4 * step));
    }

    canvas.SetPenColour(kSlopeColour);
    canvas.MoveTo(area.x1 - kSlopeGraphOffset - slope[0], first);
    for (int i = 1; i <= rows; ++i) canvas.LineTo(area.x1 - kSlopeGraphOffset - slope[i], first + i);

    // From the bottom up: each run of nearly vertical rows gives its lowest row.
    auto flat = [&](int i) { return std::abs(slope[i]) < 4; };
    for (int i = rows; i > 1; --i) {
      if (!flat(i) || corners >= kMaxCornerRows) continue;
      const int row = first + i;
      cornerRows[corners++] = row;
      const Ext column = table.column[row];
      canvas.Ellipse(static_cast<int>(Trunc(column - kCornerRadius)), row - kCornerRadius,
                     static_cast<int>(Trunc(column + kCornerRadius)), row + kCornerRadius);
      while (i > 1 && flat(i)) --i;
    }
  }

  if (corners < 3) {
    ctx.platform.ShowMessage(kReferenceFailedMessage);
    return;
  }
  // Points 1 to 5 are Edit5/Edit6 .. Edit13/Edit14; with three or four
  // corners the edits of the missing points keep their texts. Both texts
  // are whole numbers (the filtered column truncated toward zero): the
  // settings file holds screen coordinates as integers, so a fractional
  // text would make the settings SAVE fail right after Ref_read.
  for (int j = 0; j < std::min(corners, 5); ++j) {
    const int row = cornerRows[j];
    ctx.settings.Edit(5 + 2 * j).text = WholeNumberText(Trunc(table.column[row]));
    ctx.settings.Edit(6 + 2 * j).text = WholeNumberText(row);
  }
  ctx.platform.SettingsChanged();
  SolveCalibration(ctx);
  ctx.platform.RepaintNow();
}

}  // namespace km
