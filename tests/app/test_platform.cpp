// The platform pieces on the real files they write: settings file, AutoPlay
// registration, the file dialog contract and the number rules.
#include <QDir>
#include <QFile>
#include <QTemporaryDir>
#include <QTest>

#include "app/autoplay_registry.h"
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
  if (f.open(QIODevice::WriteOnly)) f.write(bytes);
}
const QString kApp = QStringLiteral("mirova");
}  // namespace

class TestPlatform : public QObject {
  Q_OBJECT
 private Q_SLOTS:
  void settingsNamesIgnoreCaseAndKeepOtherLines();
  void settingsDamagedFile_data();
  void settingsDamagedFile();
  void settingsUnreadableFileIsNotReplaced();
  void autoPlayFiles();
  void dialogContract();
  void sixteenBitText_data();
  void sixteenBitText();
};

void TestPlatform::settingsNamesIgnoreCaseAndKeepOtherLines() {
  QTemporaryDir dir;
  const QString path = dir.path() + QStringLiteral("/mirova/mirova.ini");
  writeAll(path, "; kept comment\n[kj]\ncd=0\n\n[other]\nx=1\n");
  IniSettingsStore store(dir.path());
  store.write(kApp, QStringLiteral("size"), QStringLiteral("width"), QStringLiteral("3495"));
  QCOMPARE(store.read(QStringLiteral("MIROVA"), QStringLiteral("Size"), QStringLiteral("Width")),
           QStringLiteral("3495"));
  store.write(kApp, QStringLiteral("KJ"), QStringLiteral("vcd"), QStringLiteral("1"));
  // A line break in a value must not smuggle in a key.
  store.write(kApp, QStringLiteral("size"), QStringLiteral("bg"), QStringLiteral("/x\n[kj]\nlist=0"));
  QCOMPARE(store.read(kApp, QStringLiteral("kj"), QStringLiteral("list"), QStringLiteral("1")), QStringLiteral("1"));
  const QString text = readAll(path);
  QVERIFY(text.startsWith(QStringLiteral("; kept comment\n[kj]\ncd=0\nvcd=1\n")));
  QVERIFY(text.contains(QStringLiteral("[other]\nx=1\n")));
}

void TestPlatform::settingsDamagedFile_data() {
  QTest::addColumn<QByteArray>("content");
  QTest::newRow("binary") << QByteArray("\x00\x01[kj]\ncd=0\xff", 12);
  QTest::newRow("broken header") << QByteArray("[kj\ncd=0\n");
  QTest::newRow("huge") << QByteArray(2 << 20, 'x');
}

void TestPlatform::settingsDamagedFile() {
  QFETCH(QByteArray, content);
  QTemporaryDir dir;
  writeAll(dir.path() + QStringLiteral("/mirova/mirova.ini"), content);
  IniSettingsStore store(dir.path());
  QCOMPARE(store.read(kApp, QStringLiteral("kj"), QStringLiteral("cd"), QStringLiteral("1")), QStringLiteral("1"));
  store.write(kApp, QStringLiteral("kj"), QStringLiteral("cd"), QStringLiteral("0"));
  QCOMPARE(store.read(kApp, QStringLiteral("kj"), QStringLiteral("cd"), QStringLiteral("1")), QStringLiteral("0"));
}

void TestPlatform::settingsUnreadableFileIsNotReplaced() {
  QTemporaryDir dir;
  // A folder where the file should be cannot be read; a write must not wipe it.
  const QString path = dir.path() + QStringLiteral("/mirova/mirova.ini");
  writeAll(path + QStringLiteral("/keep"), "x");
  IniSettingsStore store(dir.path());
  store.write(kApp, QStringLiteral("size"), QStringLiteral("top"), QStringLiteral("1"));
  QVERIFY(QFile::exists(path + QStringLiteral("/keep")));
}

void TestPlatform::autoPlayFiles() {
  QTemporaryDir data, config;
  const QString mimeapps = config.path() + QStringLiteral("/mimeapps.list");
  writeAll(mimeapps,
           "# user's own\n[Default Applications]\ntext/html=firefox.desktop\nx-content/audio-cdda=other.desktop;\n\n"
           "[Added Associations]\nx-content/audio-cdda=other.desktop;\nimage/png=viewer.desktop;\n");
  DesktopAutoPlayRegistry reg(data.path(), config.path());
  for (int run = 0; run < 2; ++run) reg.registerAudioCdCommand(QStringLiteral("/my apps/100%/mirova"));

  const QString desktop = readAll(data.path() + QStringLiteral("/applications/mirova.desktop"));
  QVERIFY(desktop.contains(QStringLiteral("\nExec=\"/my apps/100%%/mirova\"\n")));
  QVERIFY(desktop.contains(QStringLiteral("\nMimeType=x-content/audio-cdda;\n")));
  QCOMPARE(readAll(mimeapps),
           QStringLiteral("# user's own\n[Default Applications]\ntext/html=firefox.desktop\n"
                          "x-content/audio-cdda=mirova.desktop;\n\n[Added Associations]\n"
                          "x-content/audio-cdda=mirova.desktop;other.desktop;\nimage/png=viewer.desktop;\n"));
}

void TestPlatform::dialogContract() {
  FakeFilePicker picker;
  CommonDialog d(picker, QStringLiteral("请选择多媒体文件"));
  d.setFilter(QStringLiteral("所有文件(*.*)|*.*|VCD文件(*.dat)|*.dat|"));
  d.setFilterIndex(2);
  picker.answers = {QStringLiteral("/media/a.mp3"), std::nullopt, std::nullopt};
  d.ShowOpen();
  QCOMPARE(d.FileName(), QStringLiteral("/media/a.mp3"));
  QCOMPARE(picker.requests.last().nameFilters,
           (QStringList{QStringLiteral("所有文件(*.*) (*.*)"), QStringLiteral("VCD文件(*.dat) (*.dat)")}));
  QCOMPARE(picker.requests.last().selectedFilter, 1);
  d.ShowOpen();  // a cancel keeps the name
  QCOMPARE(d.FileName(), QStringLiteral("/media/a.mp3"));
  d.setCancelError(true);
  d.setFileName(QStringLiteral("mirova.bmp"));
  try {
    d.ShowSave();
    QFAIL("a cancel with CancelError must raise");
  } catch (const basic::Error& e) {
    QCOMPARE(e.number(), 32755);
  }
  QCOMPARE(d.FileName(), QStringLiteral("mirova.bmp"));
}

void TestPlatform::sixteenBitText_data() {
  QTest::addColumn<QString>("text");
  QTest::addColumn<int>("value");  // -99999: raises
  QTest::newRow("plain") << QStringLiteral("2685") << 2685;
  QTest::newRow("half to even down") << QStringLiteral("2.5") << 2;
  QTest::newRow("half to even up") << QStringLiteral("3.5") << 4;
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
    QCOMPARE(got, value);
  } catch (const basic::Error&) {
    QCOMPARE(value, -99999);
  }
}

QTEST_GUILESS_MAIN(TestPlatform)
#include "test_platform.moc"
