#include "app/gui/radio_group.h"

#include <QFontMetrics>
#include <algorithm>

namespace km::gui {

RadioGroup::RadioGroup(const QString& title, const QStringList& items, int columns, QWidget* parent)
    : QGroupBox(title, parent), columns_(std::max(1, columns)) {
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
  const int rows = (ItemCount() + columns_ - 1) / columns_;
  const int top = fontMetrics().height() - 2;
  const int innerWidth = width() - 12;
  const int innerHeight = std::max(0, height() - top - 3);
  for (int i = 0; i < ItemCount(); ++i) {
    const int column = i / rows;
    const int row = i % rows;
    const int x = 6 + column * innerWidth / columns_;
    const int y = top + row * innerHeight / rows;
    const int w = innerWidth / columns_;
    const int h = (row + 1) * innerHeight / rows - row * innerHeight / rows;
    buttons_[i]->setGeometry(x, y, w, h);
  }
}

}  // namespace km::gui
