#include "app/area_selection.h"

#include <algorithm>
#include <string>

#include "common/numbers.h"

namespace km {
namespace {

constexpr int kScrollStep = 16;
constexpr int kNearMargin = 16;  // left and top edges of the view
constexpr int kFarMargin = 24;   // right and bottom edges: border and scroll bar

// Outline of the rectangle spanned by two corners, both of them pixels of
// the rectangle, in the canvas's current pen mode. An empty rectangle (the
// corners share a column or a row) draws nothing. The outline is clipped to
// one pixel beyond the frame: what lies outside the picture is not drawn
// anyway, and a corner far outside it costs no time. The same corners
// always give the same pixels, so in not-xor mode a second call undoes the
// first exactly.
void DrawBand(Context& ctx, PixelPoint a, PixelPoint b) {
  if (a.x == b.x || a.y == b.y) return;
  const Raster& frame = ctx.workspace.workingRaster;
  const int left = std::max(std::min(a.x, b.x), -1);
  const int top = std::max(std::min(a.y, b.y), -1);
  const int right = std::min(std::max(a.x, b.x), frame.width);
  const int bottom = std::min(std::max(a.y, b.y), frame.height);
  if (right < left || bottom < top) return;
  // The canvas leaves out the right column and the bottom row.
  ctx.platform.ViewCanvas().FrameRect(left, top, right + 1, bottom + 1);
}

PixelPoint Anchor(const WorkspaceState& ws) { return {ws.workingRect.x1, ws.workingRect.y1}; }

}  // namespace

PixelPoint ClampToImage(const Context& ctx, int x, int y) {
  const int w = ctx.calib.imageWidth, h = ctx.calib.imageHeight;
  // The upper bound is applied last, so with no frame loaded (w = h = 0)
  // every position becomes -1.
  if (x < 0) x = 0;
  if (y < 0) y = 0;
  if (x > w - 1) x = w - 1;
  if (y > h - 1) y = h - 1;
  return {x, y};
}

void Image1MouseDown(Context& ctx, int x, int y) {
  WorkspaceState& ws = ctx.workspace;
  const PixelPoint anchor = ClampToImage(ctx, x, y);
  ws.workingRect.x1 = anchor.x;
  ws.workingRect.y1 = anchor.y;
  // Unclamped: for a press on the frame this is the anchor itself, so the
  // first erase of the band draws nothing.
  ws.drawnCorner = {x, y};
  ws.dragging = 1;
  ctx.platform.StartTimer();
}

void Image1MouseMove(Context& ctx, int x, int y) {
  ctx.platform.SetCaption("X:" + WholeNumberText(x) + " Y:" + WholeNumberText(y));
  ctx.workspace.pointerPos = {x, y};
  UpdateRubberBand(ctx);
}

void Timer1Timer(Context& ctx) { UpdateRubberBand(ctx); }

void UpdateRubberBand(Context& ctx) {
  WorkspaceState& ws = ctx.workspace;
  if (ws.dragging != 1) return;
  Platform& platform = ctx.platform;
  Canvas& canvas = platform.ViewCanvas();
  canvas.SetPenMode(PenMode::NotXor);
  DrawBand(ctx, Anchor(ws), ws.drawnCorner);

  // Each check reads the scroll position afresh, so an earlier scroll on
  // the same axis counts in the later check.
  const int viewWidth = ctx.calib.viewWidth, viewHeight = ctx.calib.viewHeight;
  int dx = 0, dy = 0;
  if (ws.pointerPos.x < platform.ScrollX() + kNearMargin) {
    platform.SetScrollX(platform.ScrollX() - kScrollStep);
    dx = -kScrollStep;
  }
  if (ws.pointerPos.y < platform.ScrollY() + kNearMargin) {
    platform.SetScrollY(platform.ScrollY() - kScrollStep);
    dy = -kScrollStep;
  }
  if (ws.pointerPos.x > platform.ScrollX() + viewWidth - kFarMargin) {
    platform.SetScrollX(platform.ScrollX() + kScrollStep);
    dx = kScrollStep;
  }
  if (ws.pointerPos.y > platform.ScrollY() + viewHeight - kFarMargin) {
    platform.SetScrollY(platform.ScrollY() + kScrollStep);
    dy = kScrollStep;
  }

  ws.pointerPos = ClampToImage(ctx, ws.pointerPos.x, ws.pointerPos.y);
  DrawBand(ctx, Anchor(ws), ws.pointerPos);
  ws.drawnCorner = ws.pointerPos;
  // The step the view scrolled by, even at the end of its range: while the
  // pointer rests near an edge the corner moves on with every tick until
  // the clamp stops it at the frame's edge.
  ws.pointerPos.x += dx;
  ws.pointerPos.y += dy;
  canvas.SetPenMode(PenMode::Copy);
}

void Image1MouseUp(Context& ctx, int x, int y) {
  WorkspaceState& ws = ctx.workspace;
  if (ws.dragging == 1) {
    ws.dragging = 0;
    ctx.platform.StopTimer();
    Canvas& canvas = ctx.platform.ViewCanvas();
    canvas.SetPenMode(PenMode::NotXor);
    DrawBand(ctx, Anchor(ws), ws.drawnCorner);
    canvas.SetPenMode(PenMode::Copy);
    const PixelPoint end = ClampToImage(ctx, x, y);
    ws.workingRect.x2 = end.x;
    ws.workingRect.y2 = end.y;
  }
  // Also without a press: a release that arrives on its own stores the
  // rectangle as it stands.
  if (ctx.platform.AreaChoice() == 0) {
    ws.scanRect = ws.workingRect;
  } else {
    ws.referenceRect = ws.workingRect;
  }
}

}  // namespace km
