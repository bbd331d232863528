#pragma once
// The main window: the image view in its scroll box, the four buttons
// (設定, LOAD, SCAN, SAVE), the "Area" choice and an empty status bar.

#include <QFrame>
#include <QPushButton>
#include <QScrollArea>
#include <QStatusBar>
#include <QTimer>
#include <QWidget>
#include <functional>

#include "app/gui/image_view.h"
#include "app/gui/radio_group.h"
#include "common/context.h"

namespace km::gui {

class TOptionForm;

class TMainForm : public QWidget {
 public:
  // Client area 527 x 378 at screen position (588, 467).
  TMainForm(Context& ctx, TOptionForm& optionForm);

  // Handlers, as the controls call them.
  void Button1Click();  // LOAD
  void Button2Click();  // SCAN
  void Button3Click();  // SAVE
  void Button4Click();  // 設定: colour the mode fields, show the settings window
  void FormResize();    // scroll box outer size into viewWidth / viewHeight
  void Image1MouseDown(int x, int y);
  void Image1MouseMove(int x, int y);
  void Image1MouseUp(int x, int y);
  void Timer1Timer();

  // Controls, named as on the form.
  QFrame* Panel1;
  QPushButton* Button4;
  QPushButton* Button1;
  QPushButton* Button2;
  QPushButton* Button3;
  RadioGroup* RadioGroup1;
  QScrollArea* ScrollBox1;
  ImageView* Image1;
  QStatusBar* StatusBar1;
  QTimer* Timer1;

 protected:
  void resizeEvent(QResizeEvent* event) override;

 private:
  // Places the panel, status bar and scroll box for the current client size.
  void ArrangeControls();
  // Runs one handler through the error display; the settings window shows
  // what the handler left in the model, error or not.
  void Run(const std::function<void()>& handler);

  Context& ctx_;
  TOptionForm& optionForm_;
};

}  // namespace km::gui
