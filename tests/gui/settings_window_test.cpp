// Window tests of the settings window: defaults, the mode colouring of the
// 設定 button, the solve behind 更新 and the Mode group, conversion errors
// and the settings file's dialogs.

#include <QFile>
#include <QTemporaryDir>
#include <QTest>
#include <memory>

#include "app/gui/kelmorph_application.h"
#include "app/gui/shell.h"
#include "common/numbers.h"
#include "fake_dialogs.h"

using km::gui::Shell;
using km::gui::TOptionForm;
using km::gui::testing::FakeDialogs;

namespace {
QString Utf8(const char* text) { return QString::fromUtf8(text); }

// Clicks a check box or radio button on its indicator (a click beyond the
// end of its text does not count as a click on it).
void ClickIndicator(QAbstractButton* button) {
  QTest::mouseClick(button, Qt::LeftButton, {}, QPoint(6, button->height() / 2));
}
}  // namespace

class SettingsWindowTest : public QObject {
  Q_OBJECT

 private:
  FakeDialogs* dialogs_ = nullptr;
  std::unique_ptr<Shell> shell_;

  Shell& Make() {
    auto dialogs = std::make_unique<FakeDialogs>();
    dialogs_ = dialogs.get();
    shell_ = std::make_unique<Shell>(std::move(dialogs));
    shell_->MainForm.show();
    return *shell_;
  }

  // The five mode-dependent edits, in the order Edit1, Edit2, Edit15,
  // Edit16, Edit27: true where the background is the "in use" colour.
  static QList<bool> InUse(const TOptionForm& form) {
    QList<bool> result;
    for (int n : {1, 2, 15, 16, 27})
      result << (form.Edit(n)->palette().color(QPalette::Base) == TOptionForm::WindowColour());
    return result;
  }

  static QString ResultTexts(const Shell& shell) {
    QStringList texts;
    for (int n = 29; n <= 32; ++n) texts << shell.OptionForm.Edit(n)->text();
    return texts.join('|');
  }

  static QString ExpectedResultTexts(const Shell& shell) {
    const auto& c = shell.ctx.calib;
    QStringList texts;
    for (float value : {c.XL, c.h, c.Z0, c.f}) texts << QString::fromStdString(km::GeneralNumberText(value));
    return texts.join('|');
  }

 private slots:
  void cleanup() {
    shell_.reset();
    dialogs_ = nullptr;
  }

  void defaults() {
    Shell& shell = Make();
    const TOptionForm& form = shell.OptionForm;
    QVERIFY(!form.isVisible());
    QCOMPARE(form.windowTitle(), QString("OptionForm"));
    const struct {
      int edit;
      const char* text;
    } texts[] = {{1, "1.8"},   {2, "0.5"},  {33, "20"},  {3, "0.5"},   {4, "30"},   {5, "1096"}, {6, "796"},
                 {17, "-3"},   {18, "0"},   {13, "739"}, {14, "1290"}, {25, "-23"}, {26, "-20"}, {15, "1080"},
                 {16, "1366"}, {27, "-31"}, {29, ""},    {30, ""},     {31, ""},    {32, ""}};
    for (const auto& t : texts) QCOMPARE(form.Edit(t.edit)->text(), QString(t.text));
    for (int n = 1; n <= 33; ++n) {
      // Edit28 (a real Z for the rotation centre) does not exist.
      QCOMPARE(form.Edit(n) == nullptr, n == 28);
      if (n != 28) QCOMPARE(form.Edit(n)->objectName(), QString("Edit%1").arg(n));
    }
    QCOMPARE(form.RadioGroup2->title(), QString("Mode"));
    QCOMPARE(form.RadioGroup2->Item(2)->text(), QString("Scan"));
    QCOMPARE(form.RadioGroup2->Index(), 0);
    QCOMPARE(form.RadioGroup1->title(), QString("Output mode"));
    QCOMPARE(form.RadioGroup1->Item(4)->text(), QString("RAW CSV"));
    QCOMPARE(form.RadioGroup1->Index(), 2);
    QCOMPARE(form.RadioGroup3->title(), QString("Lighting"));
    QCOMPARE(form.RadioGroup3->Item(1)->text(), QString("Step"));
    QCOMPARE(form.RadioGroup3->Index(), 0);
    // Lighting's two items side by side.
    QCOMPARE(form.RadioGroup3->Item(0)->y(), form.RadioGroup3->Item(1)->y());
    QVERIFY(!form.CheckBox1->isChecked());
    QVERIFY(form.CheckBox1->text().isEmpty());
    QCOMPARE(form.CheckBox3->text(), QString("Filter"));
    QVERIFY(form.CheckBox3->isChecked());
    QCOMPARE(form.CheckBox4->text(), Utf8("正面に向ける"));
    QVERIFY(form.CheckBox4->isChecked());
    QCOMPARE(form.Button1->text(), Utf8("更新"));
    QCOMPARE(form.Button2->text(), QString("Ref_read"));
    QCOMPARE(form.Button3->text(), QString("SAVE"));
    QCOMPARE(form.Button4->text(), QString("LOAD"));
    QStringList labels;
    for (const QLabel* label : form.findChildren<QLabel*>()) labels << label->text();
    for (const char* expected :
         {"deg", "mm", "最低差分値", "光傾き補正", "Error threshold", "Max polygon length", "画面座標",
          "実座標", "X座標", "Y座標", "Z座標", "1", "5", "回転中心", "XL:", "h:", "Z0:", "f:"})
      QVERIFY2(labels.contains(Utf8(expected)), expected);
    QCOMPARE(labels.count(Utf8("Y座標")), 2);
  }

  void settingsButtonColoursByMode_data() {
    QTest::addColumn<int>("mode");
    QTest::addColumn<QList<bool>>("inUse");
    QTest::newRow("Rotation") << 0 << QList<bool>{true, false, true, true, true};
    QTest::newRow("Slide") << 1 << QList<bool>{false, true, false, false, false};
    QTest::newRow("Scan") << 2 << QList<bool>{false, false, false, false, false};
  }

  void settingsButtonColoursByMode() {
    QFETCH(int, mode);
    QFETCH(QList<bool>, inUse);
    Shell& shell = Make();
    shell.ctx.settings.RadioGroup2.index = mode;
    shell.platform.SettingsChanged();
    QCOMPARE(InUse(shell.OptionForm), (QList<bool>{true, true, true, true, true}));
    QTest::mouseClick(shell.MainForm.Button4, Qt::LeftButton);
    QVERIFY(shell.OptionForm.isVisible());
    QCOMPARE(InUse(shell.OptionForm), inUse);
    for (int n : {1, 2, 15, 16, 27}) {
      const QColor expected = shell.ctx.settings.Edit(n).colour == km::EditColour::Window
                                  ? TOptionForm::WindowColour()
                                  : TOptionForm::BorderColour();
      QCOMPARE(shell.OptionForm.Edit(n)->palette().color(QPalette::Base), expected);
    }
    // Only the solve ticks the light-tilt box, never the 設定 button.
    QVERIFY(!shell.OptionForm.CheckBox1->isChecked());
    QVERIFY(TOptionForm::BorderColour() != TOptionForm::WindowColour());
  }

  void secondPressRecoloursAndRaisesTheSameWindow() {
    Shell& shell = Make();
    QTest::mouseClick(shell.MainForm.Button4, Qt::LeftButton);
    QVERIFY(QTest::qWaitForWindowExposed(&shell.OptionForm));
    shell.ctx.settings.RadioGroup2.index = 2;
    shell.platform.SettingsChanged();
    QTest::mouseClick(shell.MainForm.Button4, Qt::LeftButton);
    QVERIFY(shell.OptionForm.isVisible());
    QCOMPARE(InUse(shell.OptionForm), (QList<bool>{false, false, false, false, false}));
    int settingsWindows = 0;
    for (QWidget* w : QApplication::topLevelWidgets())
      if (w->objectName() == "OptionForm") ++settingsWindows;
    QCOMPARE(settingsWindows, 1);
    // Closing only hides it; its values stay.
    shell.OptionForm.Edit(3)->selectAll();
    QTest::keyClicks(shell.OptionForm.Edit(3), "0.25");
    QVERIFY(shell.OptionForm.close());
    QVERIFY(!shell.OptionForm.isVisible());
    QTest::mouseClick(shell.MainForm.Button4, Qt::LeftButton);
    QVERIFY(shell.OptionForm.isVisible());
    QCOMPARE(shell.OptionForm.Edit(3)->text(), QString("0.25"));
  }

  void typingGoesIntoTheModelAndLogicWritesShowAtOnce() {
    Shell& shell = Make();
    TOptionForm& form = shell.OptionForm;
    form.show();
    form.Edit(33)->selectAll();
    QTest::keyClicks(form.Edit(33), "20.9");
    QCOMPARE(shell.ctx.settings.Edit(33).text, std::string("20.9"));
    ClickIndicator(form.CheckBox3);
    QCOMPARE(shell.ctx.settings.CheckBox3, false);
    ClickIndicator(form.RadioGroup3->Item(1));
    QCOMPARE(shell.ctx.settings.RadioGroup3.index, 1);
    ClickIndicator(form.RadioGroup1->Item(4));
    QCOMPARE(shell.ctx.settings.RadioGroup1.index, 4);

    // What the logic writes shows as soon as the platform hears of it.
    auto& model = shell.ctx.settings;
    model.Edit(5).text = "1200";
    model.Edit(29).text = "924.5";
    model.CheckBox1 = true;
    model.RadioGroup1.index = -1;
    model.Edit(2).colour = km::EditColour::Border;
    shell.platform.SettingsChanged();
    QCOMPARE(form.Edit(5)->text(), QString("1200"));
    QCOMPARE(form.Edit(29)->text(), QString("924.5"));
    QVERIFY(form.CheckBox1->isChecked());
    QCOMPARE(form.RadioGroup1->Index(), -1);
    for (int i = 0; i < 5; ++i) QVERIFY(!form.RadioGroup1->Item(i)->isChecked());
    QCOMPARE(form.Edit(2)->palette().color(QPalette::Base), TOptionForm::BorderColour());
    // Refreshing wrote nothing back into the model.
    QCOMPARE(model.RadioGroup1.index, -1);
    QCOMPARE(model.Edit(33).text, std::string("20.9"));
  }

  void modeClickRunsTheSolve() {
    Shell& shell = Make();
    shell.ctx.calib.halfWidth = 1024;
    shell.ctx.calib.halfHeight = 768;
    TOptionForm& form = shell.OptionForm;
    form.show();
    // A click on the item already selected is no change: nothing runs.
    ClickIndicator(form.RadioGroup2->Item(0));
    QCOMPARE(ResultTexts(shell), QString("|||"));

    ClickIndicator(form.RadioGroup2->Item(1));
    QCOMPARE(shell.ctx.settings.RadioGroup2.index, 1);
    QVERIFY2(form.Edit(29)->text().startsWith("924.47"), qPrintable(form.Edit(29)->text()));
    QCOMPARE(ResultTexts(shell), ExpectedResultTexts(shell));
    // The solve coloured the mode fields for Slide.
    QCOMPARE(InUse(form), (QList<bool>{false, true, false, false, false}));

    // Scan mode: the solve ticks the light-tilt box, which stays ticked.
    ClickIndicator(form.RadioGroup2->Item(2));
    QVERIFY(form.CheckBox1->isChecked());
    ClickIndicator(form.RadioGroup2->Item(0));
    QVERIFY(form.CheckBox1->isChecked());
  }

  void updateButtonSolvesWithTheTextsAsTyped() {
    Shell& shell = Make();
    TOptionForm& form = shell.OptionForm;
    form.show();
    // Before any frame is loaded the centring uses pixel (0, 0).
    QTest::mouseClick(form.Button1, Qt::LeftButton);
    QVERIFY(!form.Edit(29)->text().isEmpty());
    QCOMPARE(ResultTexts(shell), ExpectedResultTexts(shell));
    QVERIFY(!form.Edit(29)->text().startsWith("924.47"));
    const QString before = ResultTexts(shell);
    form.Edit(5)->selectAll();
    QTest::keyClicks(form.Edit(5), "1100");
    QTest::mouseClick(form.Button1, Qt::LeftButton);
    QVERIFY(ResultTexts(shell) != before);
    QCOMPARE(ResultTexts(shell), ExpectedResultTexts(shell));
    QVERIFY(dialogs_->messages.empty());
  }

  void conversionErrorIsShownAndLeavesTheWindowUsable() {
    Shell& shell = Make();
    TOptionForm& form = shell.OptionForm;
    form.show();
    // Slide, selected without running anything: the colours are still those
    // of Rotation, so the solve's first step (colouring) is visible.
    shell.ctx.settings.RadioGroup2.index = 1;
    shell.platform.SettingsChanged();
    form.Edit(17)->selectAll();
    QTest::keyClicks(form.Edit(17), "abc");
    QTest::mouseClick(form.Button1, Qt::LeftButton);
    QCOMPARE(dialogs_->messages, std::vector<QString>{Utf8("'abc' は浮動小数点数ではありません")});
    QCOMPARE(ResultTexts(shell), QString("|||"));
    QCOMPARE(InUse(form), (QList<bool>{false, true, false, false, false}));
    QCOMPARE(form.Edit(17)->text(), QString("abc"));

    // Corrected, the same button works.
    form.Edit(17)->selectAll();
    QTest::keyClicks(form.Edit(17), "-3");
    QTest::mouseClick(form.Button1, Qt::LeftButton);
    QCOMPARE(dialogs_->messages.size(), size_t(1));
    QCOMPARE(ResultTexts(shell), ExpectedResultTexts(shell));
    QVERIFY(!form.Edit(29)->text().isEmpty());
  }

  void settingsFileSaveAndLoadThroughTheDialogs() {
    Shell& shell = Make();
    TOptionForm& form = shell.OptionForm;
    form.show();
    QTemporaryDir dir;
    const QString path = dir.filePath("kelmorph.cfg");

    // Cancelled: no file.
    QTest::mouseClick(form.Button3, Qt::LeftButton);
    QCOMPARE(dialogs_->saveSpecs.size(), size_t(1));
    QVERIFY(!QFile::exists(path));
    const km::gui::QtFileDialogSpec& spec = dialogs_->saveSpecs[0];
    QCOMPARE(spec.nameFilters, QStringList{Utf8("Kel Morph設定ファイル (*.cfg)")});
    QCOMPARE(spec.selectedFilter, Utf8("Kel Morph設定ファイル (*.cfg)"));
    QCOMPARE(spec.fileName, QString("kelmorph.cfg"));
    QVERIFY(spec.confirmOverwrite);

    form.Edit(1)->selectAll();
    QTest::keyClicks(form.Edit(1), "1.80");
    dialogs_->saveAnswers.push_back(path);
    QTest::mouseClick(form.Button3, Qt::LeftButton);
    QVERIFY(dialogs_->messages.empty());
    QFile file(path);
    QVERIFY(file.open(QIODevice::ReadOnly));
    QCOMPARE(file.readLine(), QByteArray("#KEL MORPH CONFIG FILE Ver. 1.0\r\n"));
    file.close();

    // Change a few fields, then LOAD brings the saved texts back.
    form.Edit(5)->selectAll();
    QTest::keyClicks(form.Edit(5), "1");
    ClickIndicator(form.CheckBox4);
    ClickIndicator(form.RadioGroup3->Item(1));
    dialogs_->openAnswers.push_back(path);
    QTest::mouseClick(form.Button4, Qt::LeftButton);
    QCOMPARE(dialogs_->openSpecs.size(), size_t(1));
    QCOMPARE(dialogs_->openSpecs[0].fileName, QString("kelmorph.cfg"));
    QCOMPARE(dialogs_->openSpecs[0].nameFilters, QStringList{Utf8("Kel Morph設定ファイル (*.cfg)")});
    QCOMPARE(form.Edit(1)->text(), QString("1.8"));
    QCOMPARE(form.Edit(5)->text(), QString("1096"));
    QVERIFY(form.CheckBox4->isChecked());
    QCOMPARE(form.RadioGroup3->Index(), 0);
    QVERIFY(dialogs_->messages.empty());
  }

  void settingsFileSaveStopsAtAWholeNumberError() {
    Shell& shell = Make();
    TOptionForm& form = shell.OptionForm;
    form.show();
    form.Edit(4)->selectAll();
    QTest::keyClicks(form.Edit(4), "30.0");
    QTest::mouseClick(form.Button3, Qt::LeftButton);
    QCOMPARE(dialogs_->messages, std::vector<QString>{Utf8("'30.0' は整数ではありません")});
    QVERIFY(dialogs_->saveSpecs.empty());
  }
};

int main(int argc, char** argv) {
  km::gui::KelMorphApplication app(argc, argv);
  SettingsWindowTest test;
  return QTest::qExec(&test, argc, argv);
}

#include "settings_window_test.moc"
