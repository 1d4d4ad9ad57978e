// Capture and background picture of the main window, on fakes.
#include <QAction>
#include <QDir>
#include <QFile>
#include <QLabel>
#include <QPushButton>
#include <QTemporaryDir>
#include <QTest>

#include "app/frmcd.h"
#include "fakes/fakes.h"

namespace {
const QString kBg = QStringLiteral("/opt/mirova/bg.bmp");
const QString kNoScreen = QStringLiteral("无法读取屏幕，截图失败。");
const QString kBadPicture = QStringLiteral("无法读取这个图片文件，背景没有改变。");

struct Fixture {
  FakePlatform fp;
  Platform p = fp.platform();
  std::unique_ptr<frmcd> w;
  Fixture() { fp.pictures.add(kBg, {233, 179}, Qt::darkCyan); }
  frmcd& start() {
    w = std::make_unique<frmcd>(p);
    w->start();
    fp.settings.writes.clear();
    fp.pictures.loaded.clear();
    return *w;
  }
};

QImage screenImage(const QSize& size, const QColor& colour) {
  QImage img(size, QImage::Format_RGB32);
  img.fill(colour);
  img.setPixelColor(3, 2, Qt::yellow);  // a detail a sloppy copy would lose
  return img;
}

QByteArray head(const QString& path, int n) {
  QFile f(path);
  return f.open(QIODevice::ReadOnly) ? f.read(n) : QByteArray();
}

QStringList bgWrites(const QStringList& writes) {
  QStringList out;
  for (const QString& s : writes)
    if (s.startsWith(QLatin1String("size/bg="))) out << s.mid(8);
  return out;
}

QColor shown(const frmcd& w) { return w.picture().toImage().pixelColor(0, 0); }
}  // namespace

class TestPictures : public QObject {
  Q_OBJECT
 private Q_SLOTS:
  void capture_data();
  void capture();
  void unreadableScreen();
  void everyCaptureProposesTheSameName();
  void background_data();
  void background();
  void backgroundDialogAndReload();
};

void TestPictures::capture_data() {
  QTest::addColumn<QString>("answer");  // relative to a temporary folder; empty: cancel
  QTest::addColumn<QString>("written");
  QTest::newRow("saved") << "shot.bmp"
                         << "shot.bmp";
  QTest::newRow("name kept exactly") << "shot.png"
                                     << "shot.png";
  QTest::newRow("cancel") << ""
                          << "";
  QTest::newRow("unwritable folder") << "missing/shot.bmp"
                                     << "";
}

void TestPictures::capture() {
  QFETCH(QString, answer);
  QFETCH(QString, written);
  QTemporaryDir dir;
  Fixture f;
  frmcd& w = f.start();
  const QImage screen = screenImage({64, 48}, QColor(0x30, 0x60, 0x90));
  f.fp.screen.image = screen;
  bool visibleAtGrab = true;
  f.fp.screen.onGrab = [&] { visibleAtGrab = w.isVisible(); };
  f.fp.filePicker.answers.push_back(answer.isEmpty() ? std::nullopt : std::optional(dir.filePath(answer)));
  w.cmd_scr->show();
  QTest::mouseClick(w.cmd_scr, Qt::LeftButton);

  QCOMPARE(f.fp.screen.grabs, 1);
  QVERIFY(!visibleAtGrab);
  QVERIFY(w.isVisible());
  QVERIFY(f.fp.messages.shown.isEmpty());
  QVERIFY(w.piccopy->isHidden());
  QCOMPARE(w.piccopy->size(), screen.size());
  QCOMPARE(w.piccopy->pixmap().toImage().convertToFormat(QImage::Format_RGB32), screen);

  QCOMPARE(f.fp.filePicker.requests.size(), 1);
  const FilePicker::Request& r = f.fp.filePicker.requests.constFirst();
  QCOMPARE(r.mode, FilePicker::Mode::Save);
  QCOMPARE(r.title, QStringLiteral("存储文件"));
  QCOMPARE(r.initialName, QStringLiteral("mirova.bmp"));
  QCOMPARE(r.nameFilters, CommonDialog::nameFilters(QStringLiteral("位图文件(*.bmp)|*.bmp")));

  const QStringList files = QDir(dir.path()).entryList(QDir::Files | QDir::Dirs | QDir::NoDotAndDotDot);
  if (written.isEmpty()) {
    QVERIFY2(files.isEmpty(), qPrintable(files.join(u',')));
    return;
  }
  QCOMPARE(files, QStringList{written});
  QCOMPARE(head(dir.filePath(written), 2), QByteArray("BM"));
  QImage back;
  QVERIFY(back.load(dir.filePath(written), "BMP"));
  QCOMPARE(back.convertToFormat(QImage::Format_RGB32), screen);
}

// Writing an empty file would pass for a capture.
void TestPictures::unreadableScreen() {
  Fixture f;
  frmcd& w = f.start();
  f.fp.screen.image = QImage();
  w.cmd_scr->show();
  w.cmd_scr->click();
  QCOMPARE(f.fp.messages.texts(), QStringList{kNoScreen});
  QCOMPARE(f.fp.messages.shown.constFirst().title, frmcd::kTitle);
  QVERIFY(f.fp.filePicker.requests.isEmpty());
  QVERIFY(w.isVisible());
}

void TestPictures::everyCaptureProposesTheSameName() {
  QTemporaryDir dir;
  Fixture f;
  frmcd& w = f.start();
  w.cmd_scr->show();
  f.fp.screen.image = screenImage({40, 30}, Qt::red);
  f.fp.filePicker.answers = {dir.filePath(QStringLiteral("first.bmp")), std::nullopt};
  w.cmd_scr->click();
  f.fp.screen.image = screenImage({50, 20}, Qt::green);
  w.cmd_scr->click();
  QCOMPARE(f.fp.filePicker.requests.size(), 2);
  for (const FilePicker::Request& r : f.fp.filePicker.requests) QCOMPARE(r.initialName, QStringLiteral("mirova.bmp"));
  // The second copy replaces the first even when it is not saved.
  QCOMPARE(w.piccopy->size(), QSize(50, 20));
  QCOMPARE(w.piccopy->pixmap().toImage().pixelColor(10, 10), QColor(Qt::green));
}

void TestPictures::background_data() {
  QTest::addColumn<QStringList>("answers");  // "" cancels
  QTest::addColumn<QColor>("colour");        // on show at the end
  QTest::addColumn<QStringList>("stored");   // values written to size/bg, in order
  QTest::addColumn<int>("messages");
  const QString a = QStringLiteral("/pics/a.bmp");
  const QString b = QStringLiteral("/pics/b b.bmp");
  const QString bad = QStringLiteral("/pics/notes.txt");
  const QString gone = QStringLiteral("/pics/gone.bmp");
  QTest::newRow("choose") << QStringList{a} << QColor(Qt::red) << QStringList{a} << 0;
  QTest::newRow("choose twice") << QStringList{a, b} << QColor(Qt::blue) << QStringList{a, b} << 0;
  QTest::newRow("cancel after start") << QStringList{QString()} << QColor(Qt::yellow) << QStringList{} << 0;
  QTest::newRow("cancel after choice") << QStringList{a, QString()} << QColor(Qt::red) << QStringList{a, a} << 0;
  QTest::newRow("not a picture") << QStringList{bad} << QColor(Qt::yellow) << QStringList{} << 1;
  QTest::newRow("missing file") << QStringList{gone} << QColor(Qt::yellow) << QStringList{} << 1;
  QTest::newRow("not a picture, then cancel")
      << QStringList{a, bad, QString()} << QColor(Qt::red) << QStringList{a, a} << 1;
}

void TestPictures::background() {
  QFETCH(QStringList, answers);
  QFETCH(QColor, colour);
  QFETCH(QStringList, stored);
  QFETCH(int, messages);
  Fixture f;
  // A background saved in an earlier run is on show.
  f.fp.settings.set(QStringLiteral("size"), QStringLiteral("bg"), QStringLiteral("/saved/s.bmp"));
  f.fp.pictures.add(QStringLiteral("/saved/s.bmp"), {30, 30}, Qt::yellow);
  f.fp.pictures.add(QStringLiteral("/pics/a.bmp"), {30, 30}, Qt::red);
  f.fp.pictures.add(QStringLiteral("/pics/b b.bmp"), {30, 30}, Qt::blue);
  f.fp.pictures.notPictures << QStringLiteral("/pics/notes.txt");
  frmcd& w = f.start();
  QCOMPARE(shown(w), QColor(Qt::yellow));
  for (const QString& answer : answers) {
    f.fp.filePicker.answers.push_back(answer.isEmpty() ? std::nullopt : std::optional(answer));
    w.action(QStringLiteral("bjfile"))->trigger();
  }
  QCOMPARE(f.fp.filePicker.requests.size(), answers.size());
  QCOMPARE(shown(w), colour);
  QCOMPARE(bgWrites(f.fp.settings.writes), stored);
  QCOMPARE(f.fp.settings.writes.size(), stored.size());  // nothing else is touched
  QCOMPARE(f.fp.messages.shown.size(), messages);
  if (messages) QCOMPARE(f.fp.messages.texts().constFirst(), kBadPicture);
  QVERIFY(w.isVisible());
}

void TestPictures::backgroundDialogAndReload() {
  Fixture f;
  frmcd& w = f.start();
  f.fp.pictures.add(QStringLiteral("/pics/a.bmp"), {30, 30}, Qt::red);
  f.fp.filePicker.answers = {QStringLiteral("/pics/a.bmp"), std::nullopt};
  w.action(QStringLiteral("bjfile"))->trigger();
  // The window's controls are rebuilt; the menu must still run the command once.
  w.reload();
  w.action(QStringLiteral("bjfile"))->trigger();
  QCOMPARE(f.fp.filePicker.requests.size(), 2);
  for (const FilePicker::Request& r : f.fp.filePicker.requests) {
    QCOMPARE(r.mode, FilePicker::Mode::Open);
    QCOMPARE(r.initialName, QString());
    QCOMPARE(r.nameFilters, CommonDialog::nameFilters(QStringLiteral("位图文件(*.bmp)|*.bmp")));
    QCOMPARE(r.selectedFilter, 0);
  }
  QCOMPARE(shown(w), QColor(Qt::red));
}

QTEST_MAIN(TestPictures)
#include "test_pictures.moc"
