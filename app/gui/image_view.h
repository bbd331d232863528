#pragma once
// The main window's image view (Image1): shows its picture at 1:1 from the
// top-left corner, without stretching or centring, and reports pointer
// press, move and release in picture coordinates.

#include <QWidget>
#include <functional>

#include "common/raster.h"

namespace km::gui {

class ImageView : public QWidget {
 public:
  explicit ImageView(QWidget* parent);

  // The raster shown; nullptr or an empty raster shows nothing. The raster
  // must outlive the view or be replaced first.
  void SetPicture(const Raster* picture) {
    picture_ = picture;
    update();
  }

  // Pointer callbacks, any button; x, y in picture pixels, negative or
  // beyond the picture while a button is held outside the view.
  std::function<void(int x, int y)> onMouseDown, onMouseMove, onMouseUp;

 protected:
  void paintEvent(QPaintEvent* event) override;
  void mousePressEvent(QMouseEvent* event) override;
  void mouseMoveEvent(QMouseEvent* event) override;
  void mouseReleaseEvent(QMouseEvent* event) override;

 private:
  const Raster* picture_ = nullptr;
};

}  // namespace km::gui
