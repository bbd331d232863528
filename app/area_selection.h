#pragma once
#include "common/context.h"

namespace km {

// Pointer events on the image view (picture coordinates, any button) and
// the 10 ms timer tick of a drag.
void Image1MouseDown(Context& ctx, int x, int y);
void Image1MouseMove(Context& ctx, int x, int y);
void Image1MouseUp(Context& ctx, int x, int y);
void Timer1Timer(Context& ctx);
void UpdateRubberBand(Context& ctx);
PixelPoint ClampToImage(const Context& ctx, int x, int y);

}  // namespace km
