#include "app/gui/image_view.h"

#include <QImage>
#include <QMouseEvent>
#include <QPainter>
#include <cmath>

namespace km::gui {

namespace {
// Positions are whole pixels; floor keeps -0.5 (left of the view) negative.
int PixelOf(qreal coordinate) { return static_cast<int>(std::floor(coordinate)); }
}  // namespace

ImageView::ImageView(QWidget* parent) : QWidget(parent) {
  // Moves without a button held also update the pointer read-out.
  setMouseTracking(true);
}

void ImageView::paintEvent(QPaintEvent* event) {
  if (picture_ == nullptr || picture_->Empty()) return;
  // Wraps the raster's bytes without copying: BGR, no row padding.
  const QImage image(picture_->pixels.data(), picture_->width, picture_->height,
                     static_cast<qsizetype>(picture_->width) * 3, QImage::Format_BGR888);
  QPainter painter(this);
  const QRect area = event->rect() & image.rect();
  painter.drawImage(area.topLeft(), image, area);
}

void ImageView::mousePressEvent(QMouseEvent* event) {
  if (onMouseDown) onMouseDown(PixelOf(event->position().x()), PixelOf(event->position().y()));
}

void ImageView::mouseMoveEvent(QMouseEvent* event) {
  if (onMouseMove) onMouseMove(PixelOf(event->position().x()), PixelOf(event->position().y()));
}

void ImageView::mouseReleaseEvent(QMouseEvent* event) {
  if (onMouseUp) onMouseUp(PixelOf(event->position().x()), PixelOf(event->position().y()));
}

}  // namespace km::gui
