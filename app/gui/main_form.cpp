#include "app/gui/main_form.h"

#include "app/area_selection.h"
#include "app/frame_loading.h"
#include "app/gui/error_display.h"
#include "app/gui/option_form.h"
#include "app/gui/window_font.h"
#include "calib/settings_state.h"
#include "export/save_command.h"
#include "scan/scan_run.h"

namespace km::gui {

namespace {
constexpr int kPanelWidth = 56;
constexpr int kStatusBarHeight = 19;
constexpr int kAreaGroupHeight = 40;
// Image1's size until a frame is loaded.
constexpr int kBlankViewWidth = 2048;
constexpr int kBlankViewHeight = 1536;
}  // namespace

TMainForm::TMainForm(Context& ctx, TOptionForm& optionForm) : ctx_(ctx), optionForm_(optionForm) {
  setObjectName("MainForm");
  setWindowTitle("MainForm");
  setFont(WindowFont());

  Panel1 = new QFrame(this);
  Panel1->setObjectName("Panel1");
  Panel1->setFrameStyle(QFrame::Panel | QFrame::Raised);
  const auto makeButton = [this](const char* name, const QString& text, int top) {
    auto* button = new QPushButton(text, Panel1);
    button->setObjectName(name);
    button->setGeometry(8, top, 41, 17);
    return button;
  };
  Button4 = makeButton("Button4", QString::fromUtf8("設定"), 8);
  Button1 = makeButton("Button1", "LOAD", 32);
  Button2 = makeButton("Button2", "SCAN", 56);
  Button3 = makeButton("Button3", "SAVE", 80);
  RadioGroup1 = new RadioGroup("Area", {"Scan", "Ref"}, 1, Panel1);
  RadioGroup1->setObjectName("RadioGroup1");
  RadioGroup1->SetIndex(0);

  ScrollBox1 = new QScrollArea(this);
  ScrollBox1->setObjectName("ScrollBox1");
  ScrollBox1->setWidgetResizable(false);
  ScrollBox1->setAlignment(Qt::AlignLeft | Qt::AlignTop);
  Image1 = new ImageView(nullptr);
  Image1->setObjectName("Image1");
  Image1->resize(kBlankViewWidth, kBlankViewHeight);
  ScrollBox1->setWidget(Image1);

  StatusBar1 = new QStatusBar(this);
  StatusBar1->setObjectName("StatusBar1");

  Timer1 = new QTimer(this);
  Timer1->setObjectName("Timer1");
  Timer1->setInterval(10);

  connect(Button4, &QPushButton::clicked, this, [this] { Button4Click(); });
  connect(Button1, &QPushButton::clicked, this, [this] { Button1Click(); });
  connect(Button2, &QPushButton::clicked, this, [this] { Button2Click(); });
  connect(Button3, &QPushButton::clicked, this, [this] { Button3Click(); });
  connect(Timer1, &QTimer::timeout, this, [this] { Timer1Timer(); });
  Image1->onMouseDown = [this](int x, int y) { Image1MouseDown(x, y); };
  Image1->onMouseMove = [this](int x, int y) { Image1MouseMove(x, y); };
  Image1->onMouseUp = [this](int x, int y) { Image1MouseUp(x, y); };

  resize(527, 378);
  move(588, 467);
  ArrangeControls();
}

void TMainForm::ArrangeControls() {
  const int clientWidth = width();
  const int clientHeight = height();
  const int aboveStatus = std::max(0, clientHeight - kStatusBarHeight);
  StatusBar1->setGeometry(0, aboveStatus, clientWidth, kStatusBarHeight);
  Panel1->setGeometry(clientWidth - kPanelWidth, 0, kPanelWidth, aboveStatus);
  RadioGroup1->setGeometry(1, std::max(0, aboveStatus - 1 - kAreaGroupHeight), kPanelWidth - 2,
                           kAreaGroupHeight);
  ScrollBox1->setGeometry(0, 0, std::max(0, clientWidth - kPanelWidth), aboveStatus);
}

void TMainForm::resizeEvent(QResizeEvent* event) {
  QWidget::resizeEvent(event);
  ArrangeControls();
  FormResize();
}

void TMainForm::Run(const std::function<void()>& handler) {
  RunHandler(ctx_.platform, handler, [this] { optionForm_.Refresh(); });
  optionForm_.Refresh();
}

void TMainForm::Button1Click() {
  Run([this] { LoadFrameCommand(ctx_); });
}
void TMainForm::Button2Click() {
  Run([this] { RunScan(ctx_); });
}
void TMainForm::Button3Click() {
  Run([this] { SaveModelCommand(ctx_); });
}

void TMainForm::Button4Click() {
  Run([this] {
    ApplyModeColours(ctx_.settings);
    optionForm_.Refresh();
    optionForm_.show();
    optionForm_.raise();
    optionForm_.activateWindow();
  });
}

void TMainForm::FormResize() {
  // Outer size: the scroll box's frame and scroll bars included.
  ctx_.calib.viewWidth = ScrollBox1->width();
  ctx_.calib.viewHeight = ScrollBox1->height();
}

void TMainForm::Image1MouseDown(int x, int y) {
  Run([&] { km::Image1MouseDown(ctx_, x, y); });
}
void TMainForm::Image1MouseMove(int x, int y) {
  Run([&] { km::Image1MouseMove(ctx_, x, y); });
}
void TMainForm::Image1MouseUp(int x, int y) {
  Run([&] { km::Image1MouseUp(ctx_, x, y); });
}
void TMainForm::Timer1Timer() {
  Run([this] { km::Timer1Timer(ctx_); });
}

}  // namespace km::gui
