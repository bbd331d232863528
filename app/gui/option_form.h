#pragma once
// The settings window: a view of the settings model (ctx.settings). What the
// user types goes into the model at once; Refresh() shows what the logic
// wrote (texts, edit colours, radio indices, check boxes).

#include <QCheckBox>
#include <QLabel>
#include <QLineEdit>
#include <QPushButton>
#include <QWidget>
#include <array>
#include <functional>

#include "app/gui/radio_group.h"
#include "common/context.h"

namespace km::gui {

class TOptionForm : public QWidget {
 public:
  // Created hidden; closing only hides it.
  explicit TOptionForm(Context& ctx);

  // Shows the model's current state. Safe to call from anywhere, also while
  // a refresh is running (then it does nothing).
  void Refresh();

  // Handlers, as the controls call them.
  void Button1Click();               // 更新 (and a change of Mode): the calibration solve
  void Button2Click();               // Ref_read: reference detection
  void Button3Click();               // SAVE: settings file
  void Button4Click();               // LOAD: settings file
  void RadioGroup2Click(int index);  // user clicked a Mode item

  // Edit1 .. Edit33 (nullptr at 0 and 28, which do not exist).
  QLineEdit* Edit(int n) const { return edits_.at(n); }

  // The colours of the two edit backgrounds: in use / left aside by the mode.
  static QColor WindowColour();
  static QColor BorderColour();

  RadioGroup* RadioGroup1;  // Output mode
  RadioGroup* RadioGroup2;  // Mode
  RadioGroup* RadioGroup3;  // Lighting
  QCheckBox* CheckBox1;     // 光傾き補正 (text in a separate label beside it)
  QCheckBox* CheckBox3;     // Filter
  QCheckBox* CheckBox4;     // 正面に向ける
  QPushButton* Button1;     // 更新
  QPushButton* Button2;     // Ref_read
  QPushButton* Button3;     // SAVE
  QPushButton* Button4;     // LOAD

 private:
  QLineEdit* MakeEdit(int n, int x, int y, int width);
  QLabel* MakeLabel(const QString& text, int x, int y, int width, Qt::Alignment alignment = Qt::AlignLeft);
  void BuildReferenceGrid(int left, int top);
  void Run(const std::function<void()>& handler);

  Context& ctx_;
  std::array<QLineEdit*, 34> edits_{};
  bool refreshing_ = false;
};

}  // namespace km::gui
