#include "scan/scan_run.h"

#include <cmath>
#include <string>

#include "app/frame_loading.h"
#include "calib/calibration_solve.h"
#include "common/numbers.h"
#include "scan/reference_detection.h"
#include "scan/stripe_detection.h"

namespace km {
namespace {

constexpr double kPi = 3.14159265359;  // the turntable's value of pi, as calibrated
constexpr double kPerDegree = 1.0 / 180;
constexpr Ext kColumnScale = 0.75L;  // one pixel column is three quarters of a unit

struct RunGeometry {
  float XL, h, Z0, f, cx, cy, Xc;
};

RunGeometry ReadGeometry(const CalibrationBlock& c) {
  return {c.XL, c.h, c.Z0, c.f, c.halfWidth, c.halfHeight, c.centerX};
}

// Angle that turns the first stripe point of frame 0 to face the viewer.
float FaceFrontOffset(const RunGeometry& g, float firstColumn) {
  const float u0 = ToSingle((static_cast<Ext>(firstColumn) - g.cx) * kColumnScale);
  const Ext depth = Sub(g.XL, u0);
  const float B = ToSingle(g.Xc - (Div(static_cast<Ext>(g.XL) * g.h, depth) - g.h));
  const float D = ToSingle(Div(static_cast<Ext>(g.f) * g.h, depth) - g.Z0);
  const float c =
      ToSingle(Div(-static_cast<Ext>(D), Sqrt(static_cast<Ext>(B) * B + static_cast<Ext>(D) * D)));
  return ToSingle(ArcCos(c));
}

// Triangulates rows first .. last of the table into profile k and returns
// the number of points stored.
int TriangulateProfile(Context& ctx, const StripeTable& table, int first, int last, int k, int mode,
                       float sine, float cosine, float slide) {
  const RunGeometry g = ReadGeometry(ctx.calib);
  PointCloudStore& store = *ctx.store;
  const Ext XLh = static_cast<Ext>(g.XL) * g.h;
  const Ext fh = static_cast<Ext>(g.f) * g.h;
  int n = 0;
  for (int r = first; r <= last; ++r) {
    if (table.column[r] == -1) continue;
    const float u = ToSingle((static_cast<Ext>(table.column[r]) - g.cx) * kColumnScale);
    const float v = ToSingle(static_cast<Ext>(g.cy) - r);
    const Ext depth = static_cast<Ext>(g.XL) - u;
    float& X = store.X(n, k);
    float& Y = store.Y(n, k);
    float& Z = store.Z(n, k);
    X = ToSingle(Div(XLh, depth) - g.h);
    Y = ToSingle(Div(static_cast<Ext>(v) * g.h, depth));
    Z = ToSingle(Div(fh, depth) - g.Z0);
    ctx.calib.refScreenX[0] = u;
    ctx.calib.refScreenY[0] = v;
    if (mode == kModeRotation) {
      const Ext x = X, z = Z;
      X = ToSingle(x * cosine - z * sine);
      Z = ToSingle(x * sine + z * cosine);
    } else if (mode == kModeSlide) {
      X = ToSingle(static_cast<Ext>(X) + slide);
    }
    ++n;
  }
  return n;
}

// The frame loop. Returns true after MaxFrames frames, false when the next
// frame could not be loaded.
bool ScanFrames(Context& ctx, const PixelRect& runRect, int mode, const SequenceFrameLoader& loadFrame) {
  WorkspaceState& ws = ctx.workspace;
  Platform& platform = ctx.platform;
  StripeTable& table = ctx.scanTable;
  StripeRowBuffers buffers;
  float frontOffset = 0;
  // Reused for every frame's path: a small allocation kept between frames
  // would split the memory that the previous frame's raster freed.
  std::string loadedPath;
  loadedPath.reserve(512);

  for (int k = 0; k < PointCloudStore::MaxFrames; ++k) {
    ws.frameCounter = k;
    platform.SetCaption(loadedPath);
    Canvas& canvas = platform.ViewCanvas();  // the canvas of the picture now shown

    // Each frame is clipped to its own raster: a later, smaller frame is
    // never read outside its pixels.
    const PixelRect area = ClipDetectionRect(runRect, ws.workingRaster);
    if (area.y1 <= area.y2) {
      const StripeSettings settings = ReadStripeSettings(ctx.settings, ctx.calib);
      DetectStripeRows(ws.workingRaster, area, table, settings, buffers);
    }
    const auto span = FindStripeSpan(table, area);
    if (span) {
      TraceStripe(table, span->first, span->last, canvas);
      if (ctx.settings.CheckBox3) FilterStripe(table, span->first, span->last);
    }

    if (k == 0 && mode == kModeRotation && ctx.settings.CheckBox4 && span)
      frontOffset = FaceFrontOffset(ReadGeometry(ctx.calib), table.column[span->first]);

    float theta = ToSingle(ParseDecimal(ctx.settings.Edit(1).text) * k);
    theta = ToSingle(static_cast<Ext>(theta) * kPi * kPerDegree + frontOffset);
    const float sine = static_cast<float>(std::sin(static_cast<Ext>(theta)));
    const float cosine = static_cast<float>(std::cos(static_cast<Ext>(theta)));
    const float slide = ToSingle(ParseDecimal(ctx.settings.Edit(2).text) * k);

    // The frame's own reference body recalibrates it; the run's rectangle
    // and table are not touched.
    if (mode == kModeScan) DetectReference(ctx);

    const int points =
        span ? TriangulateProfile(ctx, table, span->first, span->last, k, mode, sine, cosine, slide) : 0;
    canvas.SetPenMode(PenMode::Copy);
    ctx.store->lastIndex[k] = points - 1;
    platform.RepaintNow();

    loadedPath.assign(ComposeFramePath(ctx, k + 1));
    if (!loadFrame(ctx, k + 1)) return false;  // end of the sequence
  }
  return true;
}

}  // namespace

void RunScan(Context& ctx) { RunScan(ctx, LoadSequenceFrame); }

void RunScan(Context& ctx, const SequenceFrameLoader& loadFrame) {
  WorkspaceState& ws = ctx.workspace;
  ws.workingRect = ws.scanRect;
  if (ws.workingRect.Empty()) return;

  Platform& platform = ctx.platform;
  platform.SetViewCursor(CursorShape::Hourglass);
  bool allFrames = false;
  try {
    const int mode = ctx.settings.RadioGroup2.index;
    SolveCalibration(ctx);
    ws.workingRect = OrderedRect(ws.workingRect);
    const PixelRect runRect = ws.workingRect;  // DetectReference may change workingRect
    platform.ViewCanvas().SetPenMode(PenMode::Copy);
    allFrames = ScanFrames(ctx, runRect, mode, loadFrame);
  } catch (...) {
    platform.SetViewCursor(CursorShape::Arrow);
    throw;
  }
  platform.SetViewCursor(CursorShape::Arrow);
  if (allFrames) {
    // The last profile's index, so that SAVE exports every profile of the run.
    ws.frameCounter = PointCloudStore::MaxFrames - 1;
    platform.ShowMessage(kScanFinishedMessage);
  }
}

}  // namespace km
