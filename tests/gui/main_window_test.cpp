// Window tests of the main window, the Qt platform layer and the
// application's error display.

#include <QDir>
#include <QScrollBar>
#include <QTemporaryDir>
#include <QTest>
#include <memory>

#include "app/gui/error_display.h"
#include "app/gui/kelmorph_application.h"
#include "app/gui/shell.h"
#include "common/errors.h"
#include "fake_dialogs.h"

using km::gui::Shell;
using km::gui::testing::FakeDialogs;

namespace {

// A raster with a distinct colour in every pixel: blue = column, green =
// row, red = column + row (low bytes).
km::Raster Gradient(int width, int height) {
  km::Raster raster;
  raster.Resize(width, height);
  for (int y = 0; y < height; ++y) {
    for (int x = 0; x < width; ++x) {
      uint8_t* pixel = raster.Row(y) + 3 * x;
      pixel[0] = static_cast<uint8_t>(x);
      pixel[1] = static_cast<uint8_t>(y);
      pixel[2] = static_cast<uint8_t>(x + y);
    }
  }
  return raster;
}

// An object whose every event handler fails.
class ThrowingObject : public QObject {
 public:
  bool event(QEvent*) override { throw km::KelError("handler failed"); }
};

}  // namespace

class MainWindowTest : public QObject {
  Q_OBJECT

 private:
  FakeDialogs* dialogs_ = nullptr;
  std::unique_ptr<Shell> shell_;

  Shell& Make() {
    auto dialogs = std::make_unique<FakeDialogs>();
    dialogs_ = dialogs.get();
    shell_ = std::make_unique<Shell>(std::move(dialogs));
    return *shell_;
  }

 private slots:
  void cleanup() {
    shell_.reset();
    dialogs_ = nullptr;
  }

  void startUpState() {
    Shell& shell = Make();
    auto& form = shell.MainForm;
    QCOMPARE(qApp->applicationName(), QString("Kel-Morph"));
    // The view size is stored when the window is first shown, not before.
    QCOMPARE(shell.ctx.calib.viewWidth, 0);
    QCOMPARE(shell.ctx.calib.viewHeight, 0);
    form.show();
    QVERIFY(QTest::qWaitForWindowExposed(&form));

    QCOMPARE(form.windowTitle(), QString("MainForm"));
    QCOMPARE(shell.platform.Caption(), std::string("MainForm"));
    QCOMPARE(form.size(), QSize(527, 378));
    QCOMPARE(form.ScrollBox1->geometry(), QRect(0, 0, 471, 359));
    QCOMPARE(form.Panel1->geometry(), QRect(471, 0, 56, 359));
    QCOMPARE(form.StatusBar1->geometry(), QRect(0, 359, 527, 19));
    QCOMPARE(form.StatusBar1->currentMessage(), QString());
    QCOMPARE(form.RadioGroup1->geometry().bottom(), 359 - 2);
    QCOMPARE(form.RadioGroup1->height(), 40);
    QCOMPARE(form.RadioGroup1->title(), QString("Area"));
    QCOMPARE(form.RadioGroup1->ItemCount(), 2);
    QCOMPARE(form.RadioGroup1->Item(0)->text(), QString("Scan"));
    QCOMPARE(form.RadioGroup1->Item(1)->text(), QString("Ref"));
    QCOMPARE(form.RadioGroup1->Index(), 0);
    QCOMPARE(shell.platform.AreaChoice(), 0);
    const struct {
      QPushButton* button;
      const char* text;
      int top;
    } buttons[] = {{form.Button4, "設定", 8},
                   {form.Button1, "LOAD", 32},
                   {form.Button2, "SCAN", 56},
                   {form.Button3, "SAVE", 80}};
    for (const auto& b : buttons) {
      QCOMPARE(b.button->text(), QString::fromUtf8(b.text));
      QCOMPARE(b.button->geometry(), QRect(8, b.top, 41, 17));
    }
    QCOMPARE(form.Image1->geometry(), QRect(0, 0, 2048, 1536));
    QVERIFY(!form.Timer1->isActive());
    QCOMPARE(form.Timer1->interval(), 10);
    QCOMPARE(shell.ctx.calib.viewWidth, 471);
    QCOMPARE(shell.ctx.calib.viewHeight, 359);
    QVERIFY(!shell.OptionForm.isVisible());
    QCOMPARE(shell.OptionForm.windowTitle(), QString("OptionForm"));
    QCOMPARE(form.Image1->cursor().shape(), Qt::ArrowCursor);
  }

  void resizeStoresOuterViewSize() {
    Shell& shell = Make();
    shell.MainForm.show();
    shell.MainForm.resize(700, 500);
    QCOMPARE(shell.MainForm.ScrollBox1->size(), QSize(644, 481));
    QCOMPARE(shell.ctx.calib.viewWidth, 644);
    QCOMPARE(shell.ctx.calib.viewHeight, 481);
    QCOMPARE(shell.MainForm.Panel1->geometry(), QRect(644, 0, 56, 481));
  }

  void pictureShownAtOneToOneInBgrOrder() {
    Shell& shell = Make();
    shell.MainForm.show();
    QVERIFY(QTest::qWaitForWindowExposed(&shell.MainForm));
    const km::Raster raster = Gradient(200, 150);
    shell.platform.ShowPicture(raster);
    QCOMPARE(shell.MainForm.Image1->size(), QSize(200, 150));
    QVERIFY(shell.platform.Picture() == raster);

    const QImage shown = shell.MainForm.Image1->grab().toImage();
    for (const QPoint p : {QPoint(0, 0), QPoint(37, 11), QPoint(199, 149)}) {
      const uint8_t* pixel = raster.Row(p.y()) + 3 * p.x();
      QCOMPARE(shown.pixelColor(p), QColor(pixel[2], pixel[1], pixel[0]));
    }
  }

  void canvasDrawsOnTheViewsCopyOnly() {
    Shell& shell = Make();
    shell.MainForm.show();
    const km::Raster raster = Gradient(64, 48);
    shell.platform.ShowPicture(raster);
    km::Canvas& canvas = shell.platform.ViewCanvas();
    QCOMPARE(canvas.PenColour(), (km::Rgb{0, 0, 0}));
    QCOMPARE(shell.platform.ImageViewCanvas().Mode(), km::PenMode::Copy);

    canvas.SetPenMode(km::PenMode::NotXor);
    canvas.FrameRect(5, 5, 30, 20);
    QVERIFY(!(shell.platform.Picture() == raster));
    // The view shows the overlay at once.
    const QImage shown = shell.MainForm.Image1->grab().toImage();
    const uint8_t* pixel = shell.platform.Picture().Row(5) + 3 * 5;
    QCOMPARE(shown.pixelColor(5, 5), QColor(pixel[2], pixel[1], pixel[0]));
    // Not-xor twice restores the picture.
    canvas.FrameRect(5, 5, 30, 20);
    QVERIFY(shell.platform.Picture() == raster);

    // A new picture drops the overlay and resets the pen.
    canvas.SetPenColour(km::Rgb{255, 0, 0});
    canvas.FrameRect(1, 1, 9, 9);
    shell.platform.ShowPicture(raster);
    QVERIFY(shell.platform.Picture() == raster);
    QCOMPARE(canvas.PenColour(), (km::Rgb{0, 0, 0}));
    QCOMPARE(shell.platform.ImageViewCanvas().Mode(), km::PenMode::Copy);
  }

  void scrollPositionsStayInRange() {
    Shell& shell = Make();
    shell.MainForm.show();
    QVERIFY(QTest::qWaitForWindowExposed(&shell.MainForm));
    shell.platform.ShowPicture(Gradient(1000, 800));
    const QSize visible = shell.MainForm.ScrollBox1->viewport()->size();
    shell.platform.SetScrollX(100000);
    shell.platform.SetScrollY(100000);
    QCOMPARE(shell.platform.ScrollX(), 1000 - visible.width());
    QCOMPARE(shell.platform.ScrollY(), 800 - visible.height());
    shell.platform.SetScrollX(-16);
    shell.platform.SetScrollY(40);
    QCOMPARE(shell.platform.ScrollX(), 0);
    QCOMPARE(shell.platform.ScrollY(), 40);
    // A smaller picture pulls the positions back into its range.
    shell.platform.ShowPicture(Gradient(100, 80));
    QCOMPARE(shell.platform.ScrollX(), 0);
    QCOMPARE(shell.platform.ScrollY(), 0);
  }

  void platformCaptionCursorTimerAndArea() {
    Shell& shell = Make();
    auto& form = shell.MainForm;
    shell.platform.SetCaption("X:-3 Y:12");
    QCOMPARE(form.windowTitle(), QString("X:-3 Y:12"));
    QCOMPARE(shell.platform.Caption(), std::string("X:-3 Y:12"));
    shell.platform.SetViewCursor(km::CursorShape::Hourglass);
    QCOMPARE(form.Image1->cursor().shape(), Qt::WaitCursor);
    shell.platform.SetViewCursor(km::CursorShape::Arrow);
    QCOMPARE(form.Image1->cursor().shape(), Qt::ArrowCursor);
    shell.platform.StartTimer();
    QVERIFY(form.Timer1->isActive());
    shell.platform.StopTimer();
    QVERIFY(!form.Timer1->isActive());
    form.show();
    QTest::mouseClick(form.RadioGroup1->Item(1), Qt::LeftButton);
    QCOMPARE(shell.platform.AreaChoice(), 1);
  }

  void dialogFilterConversion_data() {
    QTest::addColumn<QString>("filter");
    QTest::addColumn<QStringList>("expected");
    QTest::newRow("load") << QString::fromUtf8("画像ファイル|*.jpg;*.bmp|Raw CSVファイル|*.csv|全て|*.*")
                          << QStringList{QString::fromUtf8("画像ファイル (*.jpg *.bmp)"),
                                         QString::fromUtf8("Raw CSVファイル (*.csv)"),
                                         QString::fromUtf8("全て (*.*)")};
    QTest::newRow("settings") << QString::fromUtf8("Kel Morph設定ファイル|*.cfg")
                              << QStringList{QString::fromUtf8("Kel Morph設定ファイル (*.cfg)")};
    QTest::newRow("dangling description") << QString("A|*.a|B") << QStringList{"A (*.a)"};
    QTest::newRow("empty") << QString() << QStringList{};
  }

  void dialogFilterConversion() {
    QFETCH(QString, filter);
    QFETCH(QStringList, expected);
    QCOMPARE(km::gui::ConvertDialogFilter(filter.toStdString()), expected);
  }

  void fileDialogRequestsReachTheProvider() {
    Shell& shell = Make();
    QTemporaryDir dir;
    const QString previous = QDir::currentPath();
    km::FileDialogRequest request;
    request.filter = "VRML File|*.wrl|DXF File|*.dxf|CSV File|*.csv";
    request.filterIndex = 2;
    request.fileName = "Obj0001.dxf";
    request.initialDir = ".";
    request.overwritePrompt = true;
    dialogs_->saveAnswers.push_back(dir.filePath("model.dxf"));
    QCOMPARE(shell.platform.SaveFileDialog(request), dir.filePath("model.dxf").toStdString());
    QCOMPARE(dialogs_->saveSpecs.size(), size_t(1));
    const km::gui::QtFileDialogSpec& spec = dialogs_->saveSpecs[0];
    QCOMPARE(spec.selectedFilter, QString("DXF File (*.dxf)"));
    QCOMPARE(spec.fileName, QString("Obj0001.dxf"));
    QCOMPARE(spec.directory, QString("."));
    QVERIFY(spec.confirmOverwrite);
    // Files are opened by their full path: the current directory stays.
    QCOMPARE(QDir::currentPath(), previous);

    // Cancel, and a filter index outside the pairs selects no entry.
    request.filterIndex = 9;
    request.overwritePrompt = false;
    QVERIFY(!shell.platform.OpenFileDialog(request).has_value());
    QCOMPARE(dialogs_->openSpecs.back().selectedFilter, QString());
    QVERIFY(!dialogs_->openSpecs.back().confirmOverwrite);
    QCOMPARE(QDir::currentPath(), previous);
  }

  void messagesGoThroughTheProvider() {
    Shell& shell = Make();
    shell.platform.ShowMessage("スキャン終了");
    QCOMPARE(dialogs_->messages, std::vector<QString>{QString::fromUtf8("スキャン終了")});
  }

  void escapedExceptionIsShownAndTheLoopGoesOn() {
    auto* app = static_cast<km::gui::KelMorphApplication*>(qApp);
    std::vector<std::string> shown;
    app->SetErrorDisplay([&shown](const std::string& text) { shown.push_back(text); });
    ThrowingObject object;
    QEvent event(QEvent::User);
    QCOMPARE(QCoreApplication::sendEvent(&object, &event), false);
    QCOMPARE(shown, std::vector<std::string>{"handler failed"});
    // Events are still delivered afterwards.
    QTimer::singleShot(0, [&shown] { shown.push_back("later"); });
    QTRY_COMPARE(shown.size(), size_t(2));
    app->SetErrorDisplay({});
  }

  void loadThenDragMarksTheChosenRectangle() {
    Shell& shell = Make();
    auto& form = shell.MainForm;
    form.show();
    QVERIFY(QTest::qWaitForWindowExposed(&form));
    QTemporaryDir dir;
    const QString path = dir.filePath("Obj0001.bmp");
    QImage frame(1000, 800, QImage::Format_RGB888);
    frame.fill(QColor(90, 120, 150));
    QVERIFY(frame.save(path, "BMP"));
    dialogs_->openAnswers.push_back(path);
    QTest::mouseClick(form.Button1, Qt::LeftButton);
    QCOMPARE(dialogs_->openSpecs.size(), size_t(1));
    QCOMPARE(dialogs_->openSpecs[0].selectedFilter, QString::fromUtf8("画像ファイル (*.jpg *.bmp)"));
    QCOMPARE(form.Image1->size(), QSize(1000, 800));
    QCOMPARE(shell.ctx.calib.imageWidth, 1000);
    const km::Raster& workingRaster = shell.ctx.workspace.workingRaster;
    QVERIFY(shell.platform.Picture() == workingRaster);

    QTest::mousePress(form.Image1, Qt::LeftButton, {}, QPoint(20, 30));
    QVERIFY(form.Timer1->isActive());
    QTest::mouseMove(form.Image1, QPoint(80, 60));
    QCOMPARE(form.windowTitle(), QString("X:80 Y:60"));
    // The band shows on the view's copy, never on the working raster.
    QVERIFY(!(shell.platform.Picture() == workingRaster));
    const QImage shown = form.Image1->grab().toImage();
    QVERIFY(shown.pixelColor(20, 30) != QColor(90, 120, 150));
    QCOMPARE(shown.pixelColor(50, 45), QColor(90, 120, 150));

    // Near the view's right edge every tick scrolls 16 pixels.
    QTest::mouseMove(form.Image1, QPoint(460, 60));
    QCOMPARE(shell.platform.ScrollX(), 16);
    form.Timer1Timer();
    QCOMPARE(shell.platform.ScrollX(), 32);
    QCOMPARE(form.ScrollBox1->horizontalScrollBar()->value(), 32);

    // Released outside the frame (the view keeps the pointer while held):
    // the end corner is clamped into the frame, the band is gone.
    QTest::mouseRelease(form.Image1, Qt::LeftButton, {}, QPoint(-10, 900));
    QVERIFY(!form.Timer1->isActive());
    const km::PixelRect scan = shell.ctx.workspace.scanRect;
    QCOMPARE(QRect(QPoint(scan.x1, scan.y1), QPoint(scan.x2, scan.y2)),
             QRect(QPoint(20, 30), QPoint(0, 799)));
    QVERIFY(shell.platform.Picture() == workingRaster);

    // With Area "Ref" a drag with the right button sets the other rectangle.
    QTest::mouseClick(form.RadioGroup1->Item(1), Qt::LeftButton);
    QTest::mousePress(form.Image1, Qt::RightButton, {}, QPoint(200, 100));
    QTest::mouseMove(form.Image1, QPoint(120, 40));
    QTest::mouseRelease(form.Image1, Qt::RightButton, {}, QPoint(120, 40));
    const km::PixelRect ref = shell.ctx.workspace.referenceRect;
    QCOMPARE(QRect(QPoint(ref.x1, ref.y1), QPoint(ref.x2, ref.y2)), QRect(QPoint(200, 100), QPoint(120, 40)));
    QCOMPARE(shell.ctx.workspace.scanRect.x2, 0);
    QVERIFY(dialogs_->messages.empty());
  }

  void handlerErrorLeavesEarlierChanges() {
    Shell& shell = Make();
    bool ran = false;
    const bool ok = km::gui::RunHandler(
        shell.platform,
        [&] {
          ran = true;
          shell.ctx.settings.Edit(29).text = "partial";
          throw km::ConversionError("'x' は整数ではありません");
        },
        [&] { shell.OptionForm.Refresh(); });
    QVERIFY(ran);
    QVERIFY(!ok);
    QCOMPARE(dialogs_->messages, std::vector<QString>{QString::fromUtf8("'x' は整数ではありません")});
    QCOMPARE(shell.OptionForm.Edit(29)->text(), QString("partial"));
  }
};

int main(int argc, char** argv) {
  km::gui::KelMorphApplication app(argc, argv);
  MainWindowTest test;
  return QTest::qExec(&test, argc, argv);
}

#include "main_window_test.moc"
