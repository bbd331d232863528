#include "app/area_selection.h"

namespace km {

void Image1MouseDown(Context&, int, int) {}
void Image1MouseMove(Context&, int, int) {}
void Image1MouseUp(Context&, int, int) {}
void Timer1Timer(Context&) {}
void UpdateRubberBand(Context&) {}
PixelPoint ClampToImage(const Context&, int x, int y) { return {x, y}; }

}  // namespace km
