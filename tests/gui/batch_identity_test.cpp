// The desktop window and kelmorph-batch scan write the same bytes: a user's
// steps in the windows (settings LOAD, LOAD, the drags, Ref_read, SCAN,
// Output mode, SAVE through the save dialog) against the command line with
// the same frame, rectangles and settings.

#include <QDir>
#include <QFile>
#include <QProcess>
#include <QTemporaryDir>
#include <QTest>
#include <memory>

#include "app/gui/kelmorph_application.h"
#include "app/gui/shell.h"
#include "calib/settings_state.h"
#include "fake_dialogs.h"
#include "synth/scene_files.h"
#include "synth/synthetic_scene.h"

using km::PixelRect;
using km::gui::Shell;
using km::gui::testing::FakeDialogs;
using km::synth::FrameFormat;

namespace {

// A rendered scene on disk and the rectangles a user marks on it.
struct SceneFolder {
  QString path;
  int frames = 0;
  PixelRect scanRect, referenceRect;

  QString File(const QString& name) const { return QDir(path).filePath(name); }
};

SceneFolder WriteScene(const QString& root, const char* name, km::synth::SynthObjectKind object,
                       km::synth::SynthMode mode, int frames) {
  km::synth::SceneOptions options;
  options.object = object;
  options.mode = mode;
  options.frames = frames;
  options.width = 640;
  options.height = 480;
  const km::synth::SyntheticScene scene = km::synth::MakeSyntheticScene(options);
  SceneFolder folder{QDir(root).filePath(name), frames, scene.scanRect, scene.referenceRect};
  km::synth::WriteSyntheticScene(scene, folder.path.toStdString(), FrameFormat::Jpeg);
  return folder;
}

QString RectArg(const PixelRect& r) { return QString("%1,%2,%3,%4").arg(r.x1).arg(r.y1).arg(r.x2).arg(r.y2); }

QByteArray ReadFile(const QString& path) {
  QFile file(path);
  if (!file.open(QIODevice::ReadOnly)) return {};
  return file.readAll();
}

// A few bytes from offset on, with line ends shown.
QString Excerpt(const QByteArray& bytes, qsizetype offset) {
  QString text = QString::fromUtf8(bytes.mid(offset, 40));
  return "\"" + text.replace("\r", "\\r").replace("\n", "\\n") + "\"";
}

// Empty when equal; otherwise where the two files part.
QString Difference(const QByteArray& window, const QByteArray& batch) {
  if (window == batch) return {};
  qsizetype i = 0;
  while (i < window.size() && i < batch.size() && window[i] == batch[i]) ++i;
  return "window file " + QString::number(window.size()) + " bytes, batch file " +
         QString::number(batch.size()) + " bytes, first difference at byte " + QString::number(i) +
         ": window " + Excerpt(window, i) + ", batch " + Excerpt(batch, i);
}

// What the command line gets for one saved file. The window keeps what was
// typed, so after a case that types the thinning texts every later case
// types its own.
struct SaveCase {
  const char* format;                    // --format
  int outputMode;                        // item of the settings window's "Output mode"
  const char* maxPolygon = nullptr;      // typed into Edit4 / --max-polygon
  const char* errorThreshold = nullptr;  // typed into Edit3 / --error-threshold
  bool defaultName = false;              // batch without -o: SAVE's proposed name in the current folder
};

}  // namespace

class BatchIdentityTest : public QObject {
  Q_OBJECT

 private:
  QTemporaryDir root_;
  SceneFolder rotation_, scanMode_;
  QString settingsFile_;  // in the scene's folder: what the window loaded or saved last
  QString movedPoint_;
  FakeDialogs* dialogs_ = nullptr;
  std::unique_ptr<Shell> shell_;

  QString Messages() const {
    QStringList texts(dialogs_->messages.begin(), dialogs_->messages.end());
    return texts.join(" | ");
  }

  Shell& Make() {
    auto dialogs = std::make_unique<FakeDialogs>();
    dialogs_ = dialogs.get();
    shell_ = std::make_unique<Shell>(std::move(dialogs));
    return *shell_;
  }

  // A drag on the image view from the rectangle's first corner to its
  // second, with timer ticks while the button is held (near the view's
  // edges they scroll it; the corners stay the ones pressed and released).
  void Drag(Qt::MouseButton button, const PixelRect& rect) {
    auto& form = shell_->MainForm;
    QTest::mousePress(form.Image1, button, {}, QPoint(rect.x1, rect.y1));
    QVERIFY(form.Timer1->isActive());
    QTest::mouseMove(form.Image1, QPoint((rect.x1 + rect.x2) / 2, (rect.y1 + rect.y2) / 2));
    form.Timer1Timer();
    QTest::mouseMove(form.Image1, QPoint(rect.x2, rect.y2));
    form.Timer1Timer();
    form.Timer1Timer();
    QTest::mouseRelease(form.Image1, button, {}, QPoint(rect.x2, rect.y2));
    QVERIFY(!form.Timer1->isActive());
  }

  // Settings LOAD, LOAD of the first frame, the drags, Ref_read when asked,
  // and SCAN, all through the windows.
  void ScanInTheWindow(const SceneFolder& scene, bool refRead) {
    Shell& shell = Make();
    auto& form = shell.MainForm;
    auto& options = shell.OptionForm;
    form.show();
    QVERIFY(QTest::qWaitForWindowExposed(&form));
    QTest::mouseClick(form.Button4, Qt::LeftButton);
    QVERIFY(options.isVisible());
    dialogs_->openAnswers.push_back(scene.File(km::synth::kSceneSettingsFileName));
    QTest::mouseClick(options.Button4, Qt::LeftButton);
    QVERIFY(dialogs_->openAnswers.empty());

    settingsFile_ = km::synth::kSceneSettingsFileName;
    if (refRead) {
      // Rotation instead of the scene's mode, so that only Ref_read finds
      // the reference points, and point 1 moved by hand; the settings saved
      // as the command line's settings file. Ref_read then has to replace
      // the point in both.
      QTest::mouseClick(options.RadioGroup2->Item(km::kModeRotation), Qt::LeftButton);
      QCOMPARE(shell.ctx.settings.RadioGroup2.index, int(km::kModeRotation));
      movedPoint_ = QString::number(options.Edit(5)->text().toInt() + 3);
      options.Edit(5)->selectAll();
      QTest::keyClicks(options.Edit(5), movedPoint_);
      QCOMPARE(QString::fromStdString(shell.ctx.settings.Edit(5).text), movedPoint_);
      settingsFile_ = "edited.cfg";
      dialogs_->saveAnswers.push_back(scene.File(settingsFile_));
      QTest::mouseClick(options.Button3, Qt::LeftButton);
      QVERIFY(QFile::exists(scene.File(settingsFile_)));
    }

    dialogs_->openAnswers.push_back(scene.File("Obj0001.jpg"));
    QTest::mouseClick(form.Button1, Qt::LeftButton);
    QCOMPARE(form.Image1->size(), QSize(640, 480));

    if (refRead) {
      QTest::mouseClick(form.RadioGroup1->Item(1), Qt::LeftButton);
      Drag(Qt::RightButton, scene.referenceRect);
      QTest::mouseClick(form.RadioGroup1->Item(0), Qt::LeftButton);
    }
    Drag(Qt::LeftButton, scene.scanRect);
    QCOMPARE(RectArg(shell.ctx.workspace.scanRect), RectArg(scene.scanRect));
    if (refRead) {
      QCOMPARE(RectArg(shell.ctx.workspace.referenceRect), RectArg(scene.referenceRect));
      QTest::mouseClick(options.Button2, Qt::LeftButton);
      QVERIFY2(dialogs_->messages.empty(), qPrintable(Messages()));
      QVERIFY(options.Edit(5)->text() != movedPoint_);
    }

    QTest::mouseClick(form.Button2, Qt::LeftButton);
    QVERIFY2(dialogs_->messages.empty(), qPrintable(Messages()));
    QCOMPARE(shell.ctx.workspace.frameCounter, scene.frames - 1);
    long long points = 0;
    for (int k = 0; k < scene.frames; ++k) points += shell.ctx.store->lastIndex[k] + 1;
    QVERIFY2(points > 100 * scene.frames, qPrintable(QString("%1 points").arg(points)));
  }

  // Output mode, the thinning texts and SAVE in the windows; the same through
  // kelmorph-batch scan; the two files compared.
  void SaveAndCompare(const SceneFolder& scene, bool refRead, const SaveCase& c) {
    auto& form = shell_->MainForm;
    auto& options = shell_->OptionForm;
    QTest::mouseClick(options.RadioGroup1->Item(c.outputMode), Qt::LeftButton);
    QCOMPARE(shell_->ctx.settings.RadioGroup1.index, c.outputMode);
    const auto type = [&](int edit, const char* text) {
      options.Edit(edit)->setFocus();
      options.Edit(edit)->selectAll();
      QTest::keyClicks(options.Edit(edit), text);
      QCOMPARE(QString::fromStdString(shell_->ctx.settings.Edit(edit).text), QString(text));
    };
    if (c.maxPolygon) type(4, c.maxPolygon);
    if (c.errorThreshold) type(3, c.errorThreshold);

    const QString windowFile = scene.File(QString("window_%1.out").arg(c.format));
    dialogs_->saveAnswers.push_back(windowFile);
    QTest::mouseClick(form.Button3, Qt::LeftButton);
    QVERIFY2(dialogs_->messages.empty(), qPrintable(Messages()));
    QVERIFY(dialogs_->saveAnswers.empty());
    const QByteArray window = ReadFile(windowFile);
    QVERIFY(window.size() > 1000);

    QStringList args{"scan",        "Obj0001.jpg",           "--settings", settingsFile_,
                     "--scan-rect", RectArg(scene.scanRect), "--format",   c.format};
    if (refRead) args << "--ref-rect" << RectArg(scene.referenceRect) << "--ref-read";
    if (c.maxPolygon) args << "--max-polygon" << c.maxPolygon;
    if (c.errorThreshold) args << "--error-threshold" << c.errorThreshold;
    // Without -o the file lands in the current folder under the name that
    // SAVE proposed in its dialog.
    const QString batchFile = c.defaultName ? scene.File(dialogs_->saveSpecs.back().fileName)
                                            : scene.File(QString("batch_%1.out").arg(c.format));
    if (!c.defaultName) args << "-o" << batchFile;
    QVERIFY(!QFile::exists(batchFile));

    QProcess batch;
    batch.setWorkingDirectory(scene.path);
    batch.start(KELMORPH_BATCH_EXE, args);
    QVERIFY2(batch.waitForFinished(60000), qPrintable(batch.errorString()));
    const QString err = QString::fromUtf8(batch.readAllStandardError());
    QCOMPARE(batch.exitStatus(), QProcess::NormalExit);
    QVERIFY2(batch.exitCode() == 0, qPrintable(err));
    QCOMPARE(err, QString());
    QVERIFY(
        batch.readAllStandardOutput().startsWith(QByteArray("frames: ") + QByteArray::number(scene.frames)));

    const QString difference = Difference(window, ReadFile(batchFile));
    QVERIFY2(difference.isEmpty(), qPrintable(difference));
  }

 private slots:
  void initTestCase() {
    QVERIFY(root_.isValid());
    // Rotation: the settings file carries the reference points.
    rotation_ = WriteScene(root_.path(), "rotation", km::synth::SynthObjectKind::Vase,
                           km::synth::SynthMode::Rotation, 6);
    // Scan mode's frames: the staircase stands below the object in every
    // frame, so Ref_read runs on the first frame itself.
    scanMode_ = WriteScene(root_.path(), "scanmode", km::synth::SynthObjectKind::Cylinder,
                           km::synth::SynthMode::Scan, 3);
  }

  void cleanup() {
    shell_.reset();
    dialogs_ = nullptr;
  }

  // One scan in the window, saved in several formats in turn.
  void rotationScanSavedAsEveryFormat() {
    ScanInTheWindow(rotation_, false);
    if (QTest::currentTestFailed()) return;
    const SaveCase cases[] = {
        {"csv", km::kOutputCsv, nullptr, nullptr, true}, {"dxf", km::kOutputDxf, "7", "0.25"},
        {"vrml2", km::kOutputVrml2, "12", "0"},          {"mqo", km::kOutputMqo, "3", "1.5"},
        {"vrml1", km::kOutputVrml1, "30", "0.5"},
    };
    for (const SaveCase& c : cases) {
      SaveAndCompare(rotation_, false, c);
      if (QTest::currentTestFailed()) {
        qWarning("format %s", c.format);
        return;
      }
    }
  }

  void refReadThenScanSavedAsDxfAndCsv() {
    ScanInTheWindow(scanMode_, true);
    if (QTest::currentTestFailed()) return;
    for (const SaveCase& c : {SaveCase{"dxf", km::kOutputDxf}, SaveCase{"csv", km::kOutputCsv}}) {
      SaveAndCompare(scanMode_, true, c);
      if (QTest::currentTestFailed()) {
        qWarning("format %s", c.format);
        return;
      }
    }
  }
};

int main(int argc, char** argv) {
  km::gui::KelMorphApplication app(argc, argv);
  BatchIdentityTest test;
  return QTest::qExec(&test, argc, argv);
}

#include "batch_identity_test.moc"
