#pragma once
// The font of both windows and their dialogs: Japanese-capable, 12 pixels.

#include <QFont>

namespace km::gui {

inline QFont WindowFont() {
  QFont font("Noto Sans CJK JP");
  font.setPixelSize(12);
  return font;
}

}  // namespace km::gui
