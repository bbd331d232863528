#include "app/gui/radio_group.h"

#include <QStyle>
#include <QStyleOptionGroupBox>
#include <algorithm>

namespace km::gui {

RadioGroup::RadioGroup(const QString& title, const QStringList& items, int columns, QWidget* parent)
    : QGroupBox(title, parent), columns_(std::max(1, columns)) {
  // The title sits on the frame's top edge, which leaves the items room
  // even in a group only 40 pixels high.
  setStyleSheet(
      "QGroupBox { border: 1px solid palette(mid); margin-top: 7px; }"
      "QGroupBox::title { subcontrol-origin: margin; subcontrol-position: top left;"
      " left: 5px; padding: 0 2px; }"
      "QRadioButton { spacing: 3px; }"
      "QRadioButton::indicator { width: 11px; height: 11px; }");
  for (int i = 0; i < items.size(); ++i) {
    auto* button = new QRadioButton(items[i], this);
    group_.addButton(button, i);
    buttons_.push_back(button);
    // clicked() comes from the user only; SetIndex never emits it.
    connect(button, &QRadioButton::clicked, this, [this, i] {
      if (onItemClicked) onItemClicked(i);
    });
  }
  ArrangeButtons();
}

int RadioGroup::Index() const { return group_.checkedId(); }

void RadioGroup::SetIndex(int index) {
  index = std::clamp(index, -1, ItemCount() - 1);
  if (index == Index()) return;
  if (index < 0) {
    // An exclusive group never lets its checked button go.
    group_.setExclusive(false);
    for (auto* button : buttons_) button->setChecked(false);
    group_.setExclusive(true);
  } else {
    buttons_[index]->setChecked(true);
  }
}

void RadioGroup::resizeEvent(QResizeEvent* event) {
  QGroupBox::resizeEvent(event);
  ArrangeButtons();
}

void RadioGroup::ArrangeButtons() {
  if (buttons_.empty()) return;
  QStyleOptionGroupBox option;
  initStyleOption(&option);
  const QRect title = style()->subControlRect(QStyle::CC_GroupBox, &option, QStyle::SC_GroupBoxLabel, this);
  // Items fill the frame below the title, column by column.
  const int rows = (ItemCount() + columns_ - 1) / columns_;
  const int top = std::max(8, title.bottom() - 1);
  const int left = 4;
  const int innerWidth = std::max(0, width() - left - 1);
  const int innerHeight = std::max(0, height() - top - 2);
  for (int i = 0; i < ItemCount(); ++i) {
    const int column = i / rows;
    const int row = i % rows;
    const int x = left + column * innerWidth / columns_;
    const int y = top + row * innerHeight / rows;
    const int w = (column + 1) * innerWidth / columns_ - column * innerWidth / columns_;
    const int h = (row + 1) * innerHeight / rows - row * innerHeight / rows;
    buttons_[i]->setGeometry(x, y, w, h);
  }
}

}  // namespace km::gui
