// The platform pieces of the main window on the real files they write:
// settings file, AutoPlay registration, lock, file dialog contract, number rules.
#include <QDir>
#include <QFile>
#include <QTemporaryDir>
#include <QTest>

#include "app/autoplay_registry.h"
#include "app/common_dialog.h"
#include "app/instance_lock.h"
#include "app/settings_store.h"
#include "core/basic.h"
#include "fakes/fakes.h"

namespace {
QString readAll(const QString& path) {
  QFile f(path);
  return f.open(QIODevice::ReadOnly) ? QString::fromUtf8(f.readAll()) : QString();
}
void writeAll(const QString& path, const QByteArray& bytes) {
  QDir().mkpath(QFileInfo(path).absolutePath());
  QFile f(path);
  QVERIFY(f.open(QIODevice::WriteOnly));
  f.write(bytes);
}
}  // namespace

class TestPlatform : public QObject {
  Q_OBJECT
 private Q_SLOTS:
  void settingsNamesIgnoreCase();
  void settingsKeepOtherLinesAndSections();
  void settingsDamagedFile_data();
  void settingsDamagedFile();
  void settingsUnreadableFileIsNotReplaced();
  void settingsValueCannotBreakTheFile();
  void autoPlayFiles();
  void autoPlayExecQuoting_data();
  void autoPlayExecQuoting();
  void instanceLock();
  void dialogContract();
  void dialogFilters_data();
  void dialogFilters();
  void rounding_data();
  void rounding();
  void sixteenBitText_data();
  void sixteenBitText();
  void timeText_data();
  void timeText();
};

void TestPlatform::settingsNamesIgnoreCase() {
  QTemporaryDir dir;
  IniSettingsStore store(dir.path());
  store.write(QStringLiteral("mirova"), QStringLiteral("size"), QStringLiteral("width"), QStringLiteral("3495"));
  QCOMPARE(store.read(QStringLiteral("MIROVA"), QStringLiteral("Size"), QStringLiteral("Width")),
           QStringLiteral("3495"));
  store.write(QStringLiteral("mirova"), QStringLiteral("SIZE"), QStringLiteral("WIDTH"), QStringLiteral("4000"));
  QCOMPARE(store.read(QStringLiteral("mirova"), QStringLiteral("size"), QStringLiteral("width")),
           QStringLiteral("4000"));
  QCOMPARE(store.read(QStringLiteral("mirova"), QStringLiteral("kj"), QStringLiteral("cd"), QStringLiteral("1")),
           QStringLiteral("1"));
  QCOMPARE(store.read(QStringLiteral("mirova"), QStringLiteral("size"), QStringLiteral("bg")), QString());
  // One key, written once: the second write replaced the first line.
  const QString text = readAll(dir.path() + QStringLiteral("/mirova/mirova.ini"));
  QCOMPARE(text.count(QStringLiteral("idth="), Qt::CaseInsensitive), 1);
}

void TestPlatform::settingsKeepOtherLinesAndSections() {
  QTemporaryDir dir;
  const QString path = dir.path() + QStringLiteral("/mirova/mirova.ini");
  writeAll(path, "; kept comment\n[kj]\ncd=0\n\n[other]\nx=1\n");
  IniSettingsStore store(dir.path());
  store.write(QStringLiteral("mirova"), QStringLiteral("kj"), QStringLiteral("vcd"), QStringLiteral("1"));
  store.write(QStringLiteral("mirova"), QStringLiteral("size"), QStringLiteral("bg"), QStringLiteral("/a b/c.bmp"));
  const QString text = readAll(path);
  QVERIFY(text.contains(QStringLiteral("; kept comment")));
  QVERIFY(text.contains(QStringLiteral("[other]\nx=1")));
  QVERIFY(text.contains(QStringLiteral("[kj]\ncd=0\nvcd=1\n")));
  QCOMPARE(store.read(QStringLiteral("mirova"), QStringLiteral("size"), QStringLiteral("bg")),
           QStringLiteral("/a b/c.bmp"));
  QCOMPARE(store.read(QStringLiteral("mirova"), QStringLiteral("other"), QStringLiteral("x")), QStringLiteral("1"));
}

void TestPlatform::settingsDamagedFile_data() {
  QTest::addColumn<QByteArray>("content");
  QTest::newRow("binary") << QByteArray("\x00\x01[kj]\ncd=0\xff", 12);
  QTest::newRow("no sections") << QByteArray("cd=0\nwidth=3\n");
  QTest::newRow("broken header") << QByteArray("[kj\ncd=0\n");
  QTest::newRow("huge") << QByteArray(2 << 20, 'x');
}

void TestPlatform::settingsDamagedFile() {
  QFETCH(QByteArray, content);
  QTemporaryDir dir;
  writeAll(dir.path() + QStringLiteral("/mirova/mirova.ini"), content);
  IniSettingsStore store(dir.path());
  QCOMPARE(store.read(QStringLiteral("mirova"), QStringLiteral("kj"), QStringLiteral("cd"), QStringLiteral("1")),
           QStringLiteral("1"));
  store.write(QStringLiteral("mirova"), QStringLiteral("kj"), QStringLiteral("cd"), QStringLiteral("0"));
  QCOMPARE(store.read(QStringLiteral("mirova"), QStringLiteral("kj"), QStringLiteral("cd"), QStringLiteral("1")),
           QStringLiteral("0"));
}

void TestPlatform::settingsUnreadableFileIsNotReplaced() {
  QTemporaryDir dir;
  // A folder where the file should be cannot be read; a write must not wipe it.
  const QString path = dir.path() + QStringLiteral("/mirova/mirova.ini");
  QVERIFY(QDir().mkpath(path));
  writeAll(path + QStringLiteral("/keep"), "x");
  IniSettingsStore store(dir.path());
  QCOMPARE(store.read(QStringLiteral("mirova"), QStringLiteral("size"), QStringLiteral("top")), QString());
  store.write(QStringLiteral("mirova"), QStringLiteral("size"), QStringLiteral("top"), QStringLiteral("1"));
  QVERIFY(QFile::exists(path + QStringLiteral("/keep")));
}

void TestPlatform::settingsValueCannotBreakTheFile() {
  QTemporaryDir dir;
  IniSettingsStore store(dir.path());
  store.write(QStringLiteral("mirova"), QStringLiteral("size"), QStringLiteral("bg"), QStringLiteral("/x\n[kj]\ncd=0"));
  QCOMPARE(store.read(QStringLiteral("mirova"), QStringLiteral("kj"), QStringLiteral("cd"), QStringLiteral("1")),
           QStringLiteral("1"));
}

void TestPlatform::autoPlayFiles() {
  QTemporaryDir data, config;
  const QString mimeapps = config.path() + QStringLiteral("/mimeapps.list");
  writeAll(mimeapps,
           "# user's own\n[Default Applications]\ntext/html=firefox.desktop\nx-content/audio-cdda=other.desktop;\n\n"
           "[Added Associations]\nx-content/audio-cdda=other.desktop;\nimage/png=viewer.desktop;\n");
  DesktopAutoPlayRegistry reg(data.path(), config.path());
  for (int run = 0; run < 2; ++run) reg.registerAudioCdCommand(QStringLiteral("/opt/mirova/mirova"));

  const QString desktop = readAll(data.path() + QStringLiteral("/applications/mirova.desktop"));
  QVERIFY(desktop.startsWith(QStringLiteral("[Desktop Entry]\n")));
  QVERIFY(desktop.contains(QStringLiteral("\nExec=/opt/mirova/mirova\n")));
  QVERIFY(desktop.contains(QStringLiteral("\nMimeType=x-content/audio-cdda;\n")));
  QVERIFY(desktop.contains(QStringLiteral("\nType=Application\n")));

  const QString mime = readAll(mimeapps);
  QCOMPARE(mime, QStringLiteral("# user's own\n[Default Applications]\ntext/html=firefox.desktop\n"
                                "x-content/audio-cdda=mirova.desktop;\n\n[Added Associations]\n"
                                "x-content/audio-cdda=mirova.desktop;other.desktop;\nimage/png=viewer.desktop;\n"));
}

void TestPlatform::autoPlayExecQuoting_data() {
  QTest::addColumn<QString>("command");
  QTest::addColumn<QString>("exec");
  QTest::newRow("plain") << QStringLiteral("/usr/bin/mirova") << QStringLiteral("/usr/bin/mirova");
  QTest::newRow("root folder") << QStringLiteral("//mirova") << QStringLiteral("//mirova");
  QTest::newRow("blank") << QStringLiteral("/my apps/mirova") << QStringLiteral("\"/my apps/mirova\"");
  QTest::newRow("percent") << QStringLiteral("/100%/mirova") << QStringLiteral("/100%%/mirova");
  QTest::newRow("dollar") << QStringLiteral("/a$b/mirova") << QStringLiteral("\"/a\\\\$b/mirova\"");
}

void TestPlatform::autoPlayExecQuoting() {
  QFETCH(QString, command);
  QFETCH(QString, exec);
  QCOMPARE(DesktopAutoPlayRegistry::execValue(command), exec);
}

void TestPlatform::instanceLock() {
  QTemporaryDir dir;
  const QString path = dir.path() + QStringLiteral("/run/mirova.lock");
  FileInstanceLock first(path), second(path);
  QVERIFY(first.acquire());
  QVERIFY(first.acquire());  // a reload asks again
  QVERIFY(!second.acquire());
}

void TestPlatform::dialogContract() {
  FakeFilePicker picker;
  CommonDialog d(picker, QStringLiteral("请选择多媒体文件"));
  QCOMPARE(d.DialogTitle(), QStringLiteral("请选择多媒体文件"));
  QCOMPARE(d.CancelError(), false);

  picker.answers.push_back(QStringLiteral("/media/a.mp3"));
  d.ShowOpen();
  QCOMPARE(d.FileName(), QStringLiteral("/media/a.mp3"));

  picker.answers.push_back(std::nullopt);  // cancel keeps the name
  d.ShowOpen();
  QCOMPARE(d.FileName(), QStringLiteral("/media/a.mp3"));

  d.setCancelError(true);
  d.setDialogTitle(QStringLiteral("存储文件"));
  d.setFileName(QStringLiteral("mirova.bmp"));
  picker.answers.push_back(std::nullopt);
  try {
    d.ShowSave();
    QFAIL("cancel with CancelError must raise");
  } catch (const basic::Error& e) {
    QCOMPARE(e.number(), 32755);
  }
  QCOMPARE(d.FileName(), QStringLiteral("mirova.bmp"));
  QCOMPARE(picker.requests.last().mode, FilePicker::Mode::Save);
  QCOMPARE(picker.requests.last().initialName, QStringLiteral("mirova.bmp"));
  // Whatever the next caller does not set stays.
  picker.answers.push_back(QStringLiteral("/media/b.mp3"));
  d.ShowOpen();
  QCOMPARE(picker.requests.last().title, QStringLiteral("存储文件"));
}

void TestPlatform::dialogFilters_data() {
  QTest::addColumn<QString>("filter");
  QTest::addColumn<int>("index");
  QTest::addColumn<QStringList>("filters");
  QTest::addColumn<int>("selected");
  QTest::newRow("media") << QStringLiteral(
                                "所有文件(*.*)|*.*|VCD文件(*.dat)|*.dat|mpg文件(*.mpg)|*.mpg|midi文件(*.mid)|*.mid|"
                                "声音文件(*.wav)|*.wav|AVI文件(*.avi)|*.avi|MP3文件(*.mp3)|*.mp3|")
                         << 2 << QStringList{QStringLiteral("所有文件(*.*) (*.*)"),
                                             QStringLiteral("VCD文件(*.dat) (*.dat)"),
                                             QStringLiteral("mpg文件(*.mpg) (*.mpg)"),
                                             QStringLiteral("midi文件(*.mid) (*.mid)"),
                                             QStringLiteral("声音文件(*.wav) (*.wav)"),
                                             QStringLiteral("AVI文件(*.avi) (*.avi)"),
                                             QStringLiteral("MP3文件(*.mp3) (*.mp3)")}
                         << 1;
  QTest::newRow("bitmap, no trailing bar")
      << QStringLiteral("位图文件(*.bmp)|*.bmp") << 1 << QStringList{QStringLiteral("位图文件(*.bmp) (*.bmp)")} << 0;
  QTest::newRow("pattern list") << QStringLiteral("Pictures|*.bmp;*.png|") << 7
                                << QStringList{QStringLiteral("Pictures (*.bmp *.png)")} << 0;
  QTest::newRow("empty") << QString() << 0 << QStringList{} << 0;
}

void TestPlatform::dialogFilters() {
  QFETCH(QString, filter);
  QFETCH(int, index);
  QFETCH(QStringList, filters);
  QFETCH(int, selected);
  FakeFilePicker picker;
  CommonDialog d(picker, QString());
  d.setFilter(filter);
  d.setFilterIndex(index);
  d.ShowOpen();
  QCOMPARE(picker.requests.last().nameFilters, filters);
  QCOMPARE(picker.requests.last().selectedFilter, selected);
}

void TestPlatform::rounding_data() {
  QTest::addColumn<double>("value");
  QTest::addColumn<int>("expected");
  QTest::newRow("2.5") << 2.5 << 2;
  QTest::newRow("3.5") << 3.5 << 4;
  QTest::newRow("59.5") << 59.5 << 60;
  QTest::newRow("60.5") << 60.5 << 60;
  QTest::newRow("-2.5") << -2.5 << -2;
  QTest::newRow("2.51") << 2.51 << 3;
}

void TestPlatform::rounding() {
  QFETCH(double, value);
  QFETCH(int, expected);
  QCOMPARE(int(basic::toInt32(value)), expected);
  QCOMPARE(int(basic::toInt16(value)), expected);
}

void TestPlatform::sixteenBitText_data() {
  QTest::addColumn<QString>("text");
  QTest::addColumn<int>("value");  // -99999: raises
  QTest::newRow("plain") << QStringLiteral("2685") << 2685;
  QTest::newRow("fraction") << QStringLiteral("2685.5") << 2686;
  QTest::newRow("negative") << QStringLiteral("-120") << -120;
  QTest::newRow("top of range") << QStringLiteral("32767") << 32767;
  QTest::newRow("40000") << QStringLiteral("40000") << -99999;
  QTest::newRow("empty") << QString() << -99999;
  QTest::newRow("words") << QStringLiteral("wide") << -99999;
}

void TestPlatform::sixteenBitText() {
  QFETCH(QString, text);
  QFETCH(int, value);
  try {
    const int got = basic::textToInt16(text);
    QVERIFY2(value != -99999, "must raise");
    QCOMPARE(got, value);
  } catch (const basic::Error&) {
    QCOMPARE(value, -99999);
  }
}

void TestPlatform::timeText_data() {
  QTest::addColumn<qint64>("seconds");
  QTest::addColumn<QString>("text");
  QTest::newRow("0") << qint64(0) << QStringLiteral("00:00");
  QTest::newRow("65") << qint64(65) << QStringLiteral("01:05");
  QTest::newRow("186") << qint64(186) << QStringLiteral("03:06");
  QTest::newRow("6000") << qint64(6000) << QStringLiteral("100:00");
}

void TestPlatform::timeText() {
  QFETCH(qint64, seconds);
  QFETCH(QString, text);
  QCOMPARE(basic::minutesSeconds(seconds), text);
  QCOMPARE(basic::signedText(3), QStringLiteral(" 3"));
  QCOMPARE(basic::singleText(2685.0), QStringLiteral("2685"));
}

QTEST_GUILESS_MAIN(TestPlatform)
#include "test_platform.moc"
