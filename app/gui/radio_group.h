#pragma once
// A titled group of radio buttons with an item index, arranged in columns
// like a classic radio-group control: the buttons share the space below the
// title evenly, so a small group (40 pixels high) still shows every item.

#include <QButtonGroup>
#include <QGroupBox>
#include <QRadioButton>
#include <QStringList>
#include <functional>
#include <vector>

namespace km::gui {

class RadioGroup : public QGroupBox {
 public:
  RadioGroup(const QString& title, const QStringList& items, int columns, QWidget* parent);

  // Selected item (0-based), -1 when none is selected.
  int Index() const;
  // Selects the item without running the click callback; -1 clears the
  // selection. Values outside the items are clamped.
  void SetIndex(int index);
  int ItemCount() const { return static_cast<int>(buttons_.size()); }
  QRadioButton* Item(int index) const { return buttons_.at(index); }

  // Called with the item index when the user clicks an item.
  std::function<void(int)> onItemClicked;

 protected:
  void resizeEvent(QResizeEvent* event) override;

 private:
  void ArrangeButtons();

  QButtonGroup group_;
  std::vector<QRadioButton*> buttons_;
  int columns_;
};

}  // namespace km::gui
