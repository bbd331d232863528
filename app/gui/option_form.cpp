#include "app/gui/option_form.h"

#include <QFontMetrics>
#include <QPalette>
#include <QStyle>
#include <algorithm>

#include "app/gui/error_display.h"
#include "app/gui/window_font.h"
#include "calib/calibration_solve.h"
#include "calib/settings_file.h"
#include "scan/reference_detection.h"

namespace km::gui {

namespace {
QString Utf8(const char* text) { return QString::fromUtf8(text); }

constexpr int kEditHeight = 20;
constexpr int kRowStep = 24;
}  // namespace

QColor TOptionForm::WindowColour() { return QPalette().color(QPalette::Active, QPalette::Base); }
// A grey look-alike of the active window border.
QColor TOptionForm::BorderColour() { return QColor(0xB4, 0xB4, 0xB4); }

TOptionForm::TOptionForm(Context& ctx) : QWidget(nullptr), ctx_(ctx) {
  setObjectName("OptionForm");
  setWindowTitle("OptionForm");
  setFont(WindowFont());
  // Closing the main window ends the program even while this one is open.
  setAttribute(Qt::WA_QuitOnClose, false);

  // Left column: how the object moves, the step edits, the stripe threshold
  // and the kind of light.
  RadioGroup2 = new RadioGroup("Mode", {"Rotation", "Slide", "Scan"}, 1, this);
  RadioGroup2->setObjectName("RadioGroup2");
  RadioGroup2->setGeometry(8, 4, 121, 66);
  MakeEdit(1, 8, 76, 57);
  MakeEdit(2, 72, 76, 57);
  MakeLabel("deg", 8, 98, 57, Qt::AlignHCenter);
  MakeLabel("mm", 72, 98, 57, Qt::AlignHCenter);
  MakeLabel(Utf8("最低差分値"), 8, 122, 64);
  MakeEdit(33, 76, 120, 53);
  RadioGroup3 = new RadioGroup("Lighting", {"Slit", "Step"}, 2, this);
  RadioGroup3->setObjectName("RadioGroup3");
  RadioGroup3->setGeometry(8, 146, 121, 38);
  CheckBox1 = new QCheckBox(this);
  CheckBox1->setObjectName("CheckBox1");
  CheckBox1->setGeometry(8, 192, 16, 18);
  MakeLabel(Utf8("光傾き補正"), 26, 192, 100);

  // Middle column: the model export.
  RadioGroup1 = new RadioGroup("Output mode", {"VRML1", "VRML2", "DXF", "MQO", "RAW CSV"}, 1, this);
  RadioGroup1->setObjectName("RadioGroup1");
  RadioGroup1->setGeometry(138, 4, 121, 98);
  MakeLabel("Error threshold", 138, 106, 121);
  MakeEdit(3, 138, 122, 121);
  MakeLabel("Max polygon length", 138, 146, 121);
  MakeEdit(4, 138, 162, 121);
  CheckBox3 = new QCheckBox("Filter", this);
  CheckBox3->setObjectName("CheckBox3");
  CheckBox3->setGeometry(138, 188, 121, 18);
  CheckBox4 = new QCheckBox(Utf8("正面に向ける"), this);
  CheckBox4->setObjectName("CheckBox4");
  CheckBox4->setGeometry(138, 208, 121, 18);

  const auto makeButton = [this](const char* name, const QString& text, int x, int y, int width) {
    auto* button = new QPushButton(text, this);
    button->setObjectName(name);
    button->setGeometry(x, y, width, 22);
    return button;
  };

  // The bottom row sets the window's width. Each calibration result edit
  // shows a general number text of 16 characters whole ("1483.89013671875"):
  // the text at the window font, the frame on both sides and the line
  // edit's 2-pixel inner margins, with a pixel to spare for the caret.
  // Labels take only their text's width.
  const QFontMetrics metrics(font());
  const int frame = style()->pixelMetric(QStyle::PM_DefaultFrameWidth, nullptr, this);
  const int resultWidth = metrics.horizontalAdvance(QString(16, QChar('8'))) + 2 * frame + 2 * 2 + 1;
  const char* resultLabels[] = {"XL:", "h:", "Z0:", "f:"};
  int resultLabelWidths[4];
  int rowWidth = 8;
  for (int i = 0; i < 4; ++i) {
    resultLabelWidths[i] = metrics.horizontalAdvance(resultLabels[i]) + 2;
    rowWidth += resultLabelWidths[i] + 2 + resultWidth + 8;
  }
  const int button1Width = 56;
  const int formWidth = std::max(532, rowWidth + button1Width + 8);

  // Right: the reference points and the settings file, against the right
  // edge.
  const int right = formWidth - 532;
  BuildReferenceGrid(268 + right, 4);
  Button3 = makeButton("Button3", "SAVE", 320 + right, 200, 60);
  Button4 = makeButton("Button4", "LOAD", 386 + right, 200, 60);
  Button2 = makeButton("Button2", "Ref_read", 452 + right, 200, 72);

  // Bottom: the calibration results.
  const int resultTop = 236;
  int left = 8;
  for (int i = 0; i < 4; ++i) {
    MakeLabel(resultLabels[i], left, resultTop + 2, resultLabelWidths[i], Qt::AlignRight);
    MakeEdit(29 + i, left + resultLabelWidths[i] + 2, resultTop, resultWidth);
    left += resultLabelWidths[i] + 2 + resultWidth + 8;
  }
  Button1 = makeButton("Button1", Utf8("更新"), formWidth - 8 - button1Width, resultTop - 1, button1Width);

  setFixedSize(formWidth, 266);

  for (int n = 1; n <= 33; ++n) {
    if (QLineEdit* edit = edits_[n]) {
      connect(edit, &QLineEdit::textEdited, this, [this, n](const QString& text) {
        if (!refreshing_) ctx_.settings.Edit(n).text = text.toStdString();
      });
    }
  }
  RadioGroup1->onItemClicked = [this](int index) {
    if (!refreshing_) ctx_.settings.RadioGroup1.index = index;
  };
  RadioGroup2->onItemClicked = [this](int index) { RadioGroup2Click(index); };
  RadioGroup3->onItemClicked = [this](int index) {
    if (!refreshing_) ctx_.settings.RadioGroup3.index = index;
  };
  const auto bindCheckBox = [this](QCheckBox* box, bool SettingsState::*tick) {
    connect(box, &QCheckBox::clicked, this, [this, tick](bool checked) {
      if (!refreshing_) ctx_.settings.*tick = checked;
    });
  };
  bindCheckBox(CheckBox1, &SettingsState::CheckBox1);
  bindCheckBox(CheckBox3, &SettingsState::CheckBox3);
  bindCheckBox(CheckBox4, &SettingsState::CheckBox4);
  connect(Button1, &QPushButton::clicked, this, [this] { Button1Click(); });
  connect(Button2, &QPushButton::clicked, this, [this] { Button2Click(); });
  connect(Button3, &QPushButton::clicked, this, [this] { Button3Click(); });
  connect(Button4, &QPushButton::clicked, this, [this] { Button4Click(); });

  Refresh();
}

QLineEdit* TOptionForm::MakeEdit(int n, int x, int y, int width) {
  auto* edit = new QLineEdit(this);
  edit->setObjectName(QString("Edit%1").arg(n));
  edit->setGeometry(x, y, width, kEditHeight);
  edits_.at(n) = edit;
  return edit;
}

QLabel* TOptionForm::MakeLabel(const QString& text, int x, int y, int width, Qt::Alignment alignment) {
  auto* label = new QLabel(text, this);
  label->setGeometry(x, y, width, 16);
  label->setAlignment(alignment | Qt::AlignVCenter);
  return label;
}

void TOptionForm::BuildReferenceGrid(int left, int top) {
  const int rowLabelWidth = 52;
  const int editWidth = 48;
  const int screenLeft = left + rowLabelWidth;
  const int realLeft = screenLeft + 2 * editWidth + 8;
  MakeLabel(Utf8("画面座標"), screenLeft, top, 2 * editWidth, Qt::AlignHCenter);
  MakeLabel(Utf8("実座標"), realLeft, top, 2 * editWidth, Qt::AlignHCenter);
  MakeLabel(Utf8("X座標"), screenLeft, top + 16, editWidth, Qt::AlignHCenter);
  MakeLabel(Utf8("Y座標"), screenLeft + editWidth, top + 16, editWidth, Qt::AlignHCenter);
  MakeLabel(Utf8("Y座標"), realLeft, top + 16, editWidth, Qt::AlignHCenter);
  MakeLabel(Utf8("Z座標"), realLeft + editWidth, top + 16, editWidth, Qt::AlignHCenter);
  // Rows 1 to 5 and the rotation centre: screen X, screen Y, real Y, real Z.
  const int rowTop = top + 34;
  for (int row = 0; row < 6; ++row) {
    const int y = rowTop + row * kRowStep;
    const QString label = row < 5 ? QString::number(row + 1) : Utf8("回転中心");
    MakeLabel(label, left, y + 2, rowLabelWidth - 4, Qt::AlignRight);
    const int screenX = row < 5 ? 5 + 2 * row : 15;
    const int realY = row < 5 ? 17 + 2 * row : 27;
    MakeEdit(screenX, screenLeft, y, editWidth);
    MakeEdit(screenX + 1, screenLeft + editWidth, y, editWidth);
    MakeEdit(realY, realLeft, y, editWidth);
    // The rotation centre has no real Z: it is taken as 0.
    if (row < 5) MakeEdit(realY + 1, realLeft + editWidth, y, editWidth);
  }
}

void TOptionForm::Refresh() {
  if (refreshing_) return;
  refreshing_ = true;
  const SettingsState& model = ctx_.settings;
  for (int n = 1; n <= 33; ++n) {
    QLineEdit* edit = edits_[n];
    if (edit == nullptr) continue;
    const QString text = QString::fromStdString(model.Edit(n).text);
    // Only on a change: setText moves the caret to the end.
    if (edit->text() != text) edit->setText(text);
    const QColor colour = model.Edit(n).colour == EditColour::Window ? WindowColour() : BorderColour();
    if (edit->palette().color(QPalette::Base) != colour) {
      QPalette palette = edit->palette();
      palette.setColor(QPalette::Base, colour);
      edit->setPalette(palette);
    }
  }
  RadioGroup1->SetIndex(model.RadioGroup1.index);
  RadioGroup2->SetIndex(model.RadioGroup2.index);
  RadioGroup3->SetIndex(model.RadioGroup3.index);
  CheckBox1->setChecked(model.CheckBox1);
  CheckBox3->setChecked(model.CheckBox3);
  CheckBox4->setChecked(model.CheckBox4);
  refreshing_ = false;
}

void TOptionForm::Run(const std::function<void()>& handler) {
  RunHandler(ctx_.platform, handler, [this] { Refresh(); });
  Refresh();
}

void TOptionForm::Button1Click() {
  Run([this] { OptionButton1Click(ctx_); });
}
void TOptionForm::Button2Click() {
  Run([this] { DetectReference(ctx_); });
}
void TOptionForm::Button3Click() {
  Run([this] { SaveSettingsFile(ctx_); });
}
void TOptionForm::Button4Click() {
  Run([this] { LoadSettingsFile(ctx_); });
}

void TOptionForm::RadioGroup2Click(int index) {
  if (refreshing_) return;
  // A click on the item already selected changes nothing and solves nothing.
  Run([this, index] { SetModeIndex(ctx_, index); });
}

}  // namespace km::gui
