// SPDX-License-Identifier: GPL-3.0-or-later
// The audio CD registration: the entry the desktop finds first runs this
// program, beside an installed entry too; the user's other associations are
// kept, and a file that cannot be read whole is never replaced.
#include <QDir>
#include <QFile>
#include <QProcess>
#include <QTemporaryDir>
#include <QTest>

#include "app/ini_lines.h"
#include "desktop/autoplay_registry.h"
#include "fakes/fakes.h"

namespace {
const QString kEntry = QStringLiteral("Desktop Entry");

// What earlier versions wrote at every start.
const QByteArray kLegacy =
    "[Desktop Entry]\nType=Application\nName=Savrel超级播放器\nExec=/old/build/bin/mirova\nIcon=mirova\n"
    "MimeType=x-content/audio-cdda;\nNoDisplay=true\nTerminal=false\n";
}  // namespace

class TestAutoPlay : public QObject {
  Q_OBJECT
 private Q_SLOTS:
  void desktopFindsThisProgram_data();
  void desktopFindsThisProgram();
  void userFiles_data();
  void userFiles();
  void damagedMimeApps();
};

enum class After { Absent, Unchanged, Written };

void TestAutoPlay::desktopFindsThisProgram_data() {
  QTest::addColumn<QByteArray>("userBefore");  // the per-user mirova.desktop, empty for none
  QTest::addColumn<QString>("installedExec");  // the installed entry's Exec=, empty for none
  QTest::addColumn<int>("after");
  QTest::addColumn<bool>("hidden");  // the entry the desktop finds is hidden from the menus
  const QString link = QStringLiteral("@/bin/mirova"), other = QStringLiteral("/usr/games/mirova %F");
  const QByteArray own =
      "[Desktop Entry]\nType=Application\nName=My player\nCategories=Audio;\n"
      "Exec=@/bin/mirova\nMimeType=x-content/audio-cdda;\nNoDisplay=true\n";
  const QByteArray ownOther =
      "[Desktop Entry]\nType=Application\nName=Mine\nCategories=Audio;\nExec=/elsewhere/mirova\n"
      "MimeType=x-content/audio-cdda;\n";
  QTest::newRow("not installed") << QByteArray() << QString() << int(After::Written) << true;
  QTest::newRow("installed, an earlier version's entry") << kLegacy << link << int(After::Absent) << false;
  QTest::newRow("another copy installed") << kLegacy << other << int(After::Written) << false;
  QTest::newRow("the user's own entry, hidden by choice") << own << link << int(After::Unchanged) << true;
  QTest::newRow("the user's own entry for another copy") << ownOther << link << int(After::Written) << false;
}

void TestAutoPlay::desktopFindsThisProgram() {
  QFETCH(QByteArray, userBefore);
  QFETCH(QString, installedExec);
  QFETCH(int, after);
  QFETCH(bool, hidden);
  QTemporaryDir tmp;
  const QString root = tmp.path();
  // The installed tree: lib/mirova/mirova and the bin/mirova link to it.
  const QString program = root + QStringLiteral("/lib/mirova/mirova");
  writeFile(program, "#!/bin/sh\n");
  QDir().mkpath(root + QStringLiteral("/bin"));
  QVERIFY(QFile::link(QStringLiteral("../lib/mirova/mirova"), root + QStringLiteral("/bin/mirova")));

  const QString userPath = root + QStringLiteral("/home/applications/mirova.desktop");
  if (!userBefore.isEmpty()) writeFile(userPath, QByteArray(userBefore).replace('@', root.toUtf8()));
  const QString installedPath = root + QStringLiteral("/share/applications/mirova.desktop");
  if (!installedExec.isEmpty())
    writeFile(installedPath, "[Desktop Entry]\nType=Application\nName=Savrel超级播放器\nCategories=AudioVideo;\nExec=" +
                                 QString(installedExec).replace('@', root).toUtf8() +
                                 "\nMimeType=x-content/audio-cdda;x-content/video-vcd;\n");
  const QByteArray before = readFile(userPath);

  DesktopAutoPlayRegistry reg(root + QStringLiteral("/home"), root + QStringLiteral("/config"),
                              {root + QStringLiteral("/none"), root + QStringLiteral("/share")});
  for (int run = 0; run < 2; ++run) reg.registerAudioCdCommand(program);

  QCOMPARE(QFile::exists(userPath), after != int(After::Absent));
  if (after == int(After::Unchanged)) QCOMPARE(readFile(userPath), before);
  if (after == int(After::Written)) QVERIFY(readFile(userPath) != before);
  // What the desktop does: the first mirova.desktop found, user's before installed.
  const IniLines found = IniLines::load(QFile::exists(userPath) ? userPath : installedPath);
  QCOMPARE(DesktopAutoPlayRegistry::execProgram(found.value(kEntry, QStringLiteral("Exec"))), program);
  QCOMPARE(found.value(kEntry, QStringLiteral("NoDisplay")) == QLatin1String("true"), hidden);
  // A copy of the installed entry still takes the files it is handed.
  const bool theirs = userBefore.contains("Categories=");
  QCOMPARE(found.value(kEntry, QStringLiteral("Exec")).endsWith(" %F"), installedExec.endsWith("%F") && !theirs);
  QVERIFY(found.value(kEntry, QStringLiteral("MimeType")).contains(QStringLiteral("x-content/audio-cdda;")));
  // A user's own entry keeps its own lines.
  QCOMPARE(found.value(kEntry, QStringLiteral("Name")),
           theirs ? QString::fromUtf8(userBefore).section("Name=", 1).section('\n', 0, 0) : "Savrel超级播放器");
}

// Run twice on a program path with characters a desktop entry must quote:
// the desktop's own checker accepts the entry, its Exec= runs this program,
// and the user's associations stay beside it. One it cannot carry is refused.
void TestAutoPlay::userFiles_data() {
  QTest::addColumn<QString>("program");
  QTest::addColumn<bool>("refused");
  for (const char* p : {"/usr/lib/mirova/mirova", "/my apps/100%/mirova", "/a\"b/`x`/$HOME/it's/mirova",
                        "/back\\slash/tab\there/mirova"})
    QTest::newRow(p) << QString::fromUtf8(p) << false;
  QTest::newRow("escape character") << "/opt/a\x1b[2J/mirova" << true;
}

void TestAutoPlay::userFiles() {
  QFETCH(QString, program);
  QFETCH(bool, refused);
  QTemporaryDir data, config;
  const QString mimeapps = config.path() + QStringLiteral("/mimeapps.list");
  const QByteArray users =
      "# user's own\n[Default Applications]\ntext/html=firefox.desktop\nx-content/audio-cdda=other.desktop;\n\n"
      "[Added Associations]\nx-content/audio-cdda=other.desktop;\nimage/png=viewer.desktop;\n";
  writeFile(mimeapps, users);
  DesktopAutoPlayRegistry reg(data.path(), config.path(), {});
  for (int run = 0; run < 2; ++run) reg.registerAudioCdCommand(program);
  const QString desktopFile = data.path() + QStringLiteral("/applications/mirova.desktop");
  QCOMPARE(QFile::exists(desktopFile), !refused);
  if (refused) {  // the user's associations untouched
    QCOMPARE(readFile(mimeapps), users);
    return;
  }
  const IniLines found = IniLines::load(desktopFile);
  QCOMPARE(DesktopAutoPlayRegistry::execProgram(found.value(kEntry, QStringLiteral("Exec"))), program);
  QProcess validate;
  validate.start(QStringLiteral("desktop-file-validate"), {desktopFile});
  QVERIFY(validate.waitForFinished());
  QVERIFY2(validate.exitCode() == 0, validate.readAllStandardOutput().constData());
  QCOMPARE(readFile(mimeapps),
           "# user's own\n[Default Applications]\ntext/html=firefox.desktop\nx-content/audio-cdda=mirova.desktop;\n\n"
           "[Added Associations]\nx-content/audio-cdda=mirova.desktop;other.desktop;\nimage/png=viewer.desktop;\n");
}

// Every other association of the desktop lives in this file: one read as
// damaged is never replaced.
void TestAutoPlay::damagedMimeApps() {
  QTemporaryDir data, config;
  const QString mimeapps = config.path() + QStringLiteral("/mimeapps.list");
  const QByteArray binary("[Added Associations]\n\x00\x01", 23);
  writeFile(mimeapps, binary);
  DesktopAutoPlayRegistry(data.path(), config.path(), {}).registerAudioCdCommand(QStringLiteral("/opt/mirova/mirova"));
  QCOMPARE(readFile(mimeapps), binary);
  QCOMPARE(QDir(config.path()).entryList(QDir::Files), QStringList{"mimeapps.list"});
}

QTEST_GUILESS_MAIN(TestAutoPlay)
#include "test_autoplay.moc"
