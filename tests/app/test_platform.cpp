// SPDX-License-Identifier: GPL-3.0-or-later
// The settings file and the instance lock on the real files they write, and the file dialog contract.
#include <linux/capability.h>
#include <sys/resource.h>
#include <sys/stat.h>
#include <sys/syscall.h>
#include <unistd.h>

#include <csignal>

#include <QDir>
#include <QDirIterator>
#include <QFile>
#include <QScopeGuard>
#include <QTemporaryDir>
#include <QTest>

#include "app/instance_lock.h"
#include "app/settings_store.h"
#include "base/basic.h"
#include "fakes/fakes.h"

namespace {
// Root reads any file; without these powers a write-only file is unreadable to its owner, root or not.
auto dropDacOverride() {
  __user_cap_header_struct h{_LINUX_CAPABILITY_VERSION_3, 0};
  __user_cap_data_struct d[2]{};
  syscall(SYS_capget, &h, d);
  auto restore = qScopeGuard([h, d]() mutable { syscall(SYS_capset, &h, d); });
  d[0].effective &= ~((1u << CAP_DAC_OVERRIDE) | (1u << CAP_DAC_READ_SEARCH));
  syscall(SYS_capset, &h, d);
  return restore;
}
const QString kApp = QStringLiteral("mirova");
const QString kKj = QStringLiteral("kj");
}  // namespace

class TestPlatform : public QObject {
  Q_OBJECT
 private Q_SLOTS:
  void settingsValueCannotInjectKeys();
  void settingsFileKept_data();
  void settingsFileKept();
  void instanceLock_data();
  void instanceLock();
  void dialogFilters_data();
  void dialogFilters();
  void dialogContract();
};

void TestPlatform::settingsValueCannotInjectKeys() {
  QTemporaryDir dir;
  IniSettingsStore store(dir.path());
  store.write(kApp, QStringLiteral("size"), QStringLiteral("bg"), QStringLiteral("/x\n[kj]\nlist=0"));
  QCOMPARE(store.read(kApp, kKj, QStringLiteral("list"), QStringLiteral("1")), QStringLiteral("1"));
}

void TestPlatform::settingsFileKept_data() {
  QTest::addColumn<QByteArray>("content");
  QTest::addColumn<bool>("unreadable");
  QTest::addColumn<QByteArray>("after");  // the file once kj/cd=0 is written
  QTest::addColumn<QByteArray>("aside");  // what mirova.ini.damaged holds, null for no such file
  const QByteArray binary("\x00\x01[kj]\ncd=0\xff", 12), fresh("[kj]\ncd=0\n");
  QTest::newRow("binary") << binary << false << fresh << binary;
  QTest::newRow("broken header") << QByteArray("[kj\ncd=0\n") << false << QByteArray("[kj\ncd=0\n\n[kj]\ncd=0\n")
                                 << QByteArray();
  QTest::newRow("write-only") << fresh << true << fresh << QByteArray();
  QTest::newRow("not UTF-8") << QByteArray("[size]\nbg=/home/caf\xe9.bmp\n[kj]\ncd=1\n") << false
                             << QByteArray("[size]\nbg=/home/caf\xe9.bmp\n[kj]\ncd=0\n") << QByteArray();
  QTest::newRow("CRLF") << QByteArray("[kj]\r\ncd=1\r\nlist=0\r\n") << false << QByteArray("[kj]\r\ncd=0\r\nlist=0\r\n")
                        << QByteArray();
}

// Lines the program does not change come back byte for byte; a file read as
// damaged is kept beside the new one, an unreadable one is not written at all.
void TestPlatform::settingsFileKept() {
  QFETCH(QByteArray, content);
  QFETCH(bool, unreadable);
  QFETCH(QByteArray, after);
  QFETCH(QByteArray, aside);
  QTemporaryDir dir;
  const QString path = dir.path() + QStringLiteral("/mirova/mirova.ini");
  writeFile(path, content);
  if (unreadable) QFile::setPermissions(path, QFileDevice::WriteOwner);
  {
    const auto restore = dropDacOverride();
    IniSettingsStore store(dir.path());
    QCOMPARE(store.read(kApp, kKj, QStringLiteral("cd"), QStringLiteral("1")), QStringLiteral("1"));
    store.write(kApp, kKj, QStringLiteral("cd"), QStringLiteral("0"));
    QCOMPARE(store.read(kApp, kKj, QStringLiteral("cd"), QStringLiteral("1")), QString(unreadable ? "1" : "0"));
  }
  QFile::setPermissions(path, QFileDevice::ReadOwner | QFileDevice::WriteOwner);
  QCOMPARE(readFile(path), after);
  QCOMPARE(readFile(path + QStringLiteral(".damaged")), aside);
}

void TestPlatform::instanceLock_data() {
  QTest::addColumn<int>("runtime");          // 0 a folder of ours, 1 read-only, 2 not set
  QTest::addColumn<bool>("linkedFallback");  // /tmp/mirova-<uid> is a link someone planted
  QTest::addColumn<bool>("full");            // nothing can be written anywhere
  QTest::addColumn<QString>("lockAt");       // where the lock lands; empty: nowhere, and a second copy starts too
  const QString tmpFallback = QStringLiteral("tmp/mirova-%1/mirova/mirova.lock").arg(getuid());
  QTest::newRow("read-only runtime folder") << 1 << false << false << tmpFallback;
  QTest::newRow("no runtime folder, /tmp one not ours") << 2 << true << false << "config/mirova/mirova.lock";
  QTest::newRow("disk full") << 0 << false << true << QString();
}

// Only a copy that is alive keeps another from starting; any other trouble
// with the lock lets the player start, with the lock wherever it can go.
void TestPlatform::instanceLock() {
  QFETCH(int, runtime);
  QFETCH(bool, linkedFallback);
  QFETCH(bool, full);
  QFETCH(QString, lockAt);
  QTemporaryDir dir;
  const QString d = dir.path() + QLatin1Char('/');
  for (const char* sub : {"run", "tmp", "config", "elsewhere"}) QVERIFY(QDir(d).mkdir(QLatin1String(sub)));
  QVERIFY(::chmod(QFile::encodeName(d + "run").constData(), runtime == 1 ? 0500 : 0700) == 0);
  if (linkedFallback) QVERIFY(QFile::link(d + "elsewhere", d + QStringLiteral("tmp/mirova-%1").arg(getuid())));
  const QByteArray saved[] = {qgetenv("XDG_RUNTIME_DIR"), qgetenv("TMPDIR"), qgetenv("XDG_CONFIG_HOME")};
  const auto restoreEnv = qScopeGuard([&saved] {
    qputenv("XDG_RUNTIME_DIR", saved[0]);
    qputenv("TMPDIR", saved[1]);
    qputenv("XDG_CONFIG_HOME", saved[2]);
  });
  if (runtime == 2)
    qunsetenv("XDG_RUNTIME_DIR");
  else
    qputenv("XDG_RUNTIME_DIR", QFile::encodeName(d + "run"));
  qputenv("TMPDIR", QFile::encodeName(d + "tmp"));
  qputenv("XDG_CONFIG_HOME", QFile::encodeName(d + "config"));

  const auto restoreCaps = dropDacOverride();
  rlimit limit{};
  getrlimit(RLIMIT_FSIZE, &limit);
  const rlimit noWrites{0, limit.rlim_max};
  if (full) {
    std::signal(SIGXFSZ, SIG_IGN);  // a write past the limit fails instead of ending the process
    setrlimit(RLIMIT_FSIZE, &noWrites);
  }
  const auto unlimit = qScopeGuard([&limit] { setrlimit(RLIMIT_FSIZE, &limit); });
  FileInstanceLock first(FileInstanceLock::defaultFolders()), second(FileInstanceLock::defaultFolders());
  QVERIFY(first.acquire());
  QCOMPARE(second.acquire(), lockAt.isEmpty());
  QVERIFY(first.acquire());  // asked again at every reload
  QStringList locks;
  QDirIterator it(d, {"*.lock"}, QDir::Files, QDirIterator::Subdirectories);
  while (it.hasNext()) locks << it.next().mid(d.size());
  QCOMPARE(locks, lockAt.isEmpty() ? QStringList() : QStringList{lockAt});
  if (lockAt.startsWith("tmp/")) {  // a fallback folder is ours alone
    struct stat st {};
    QVERIFY(::stat(QFile::encodeName(d + QStringLiteral("tmp/mirova-%1").arg(getuid())).constData(), &st) == 0);
    QCOMPARE(st.st_mode & 0777, 0700u);
  }
}

void TestPlatform::dialogFilters_data() {
  QTest::addColumn<QString>("filter");
  QTest::addColumn<QStringList>("shown");
  QTest::newRow("media") << "所有文件(*.*)|*.*|VCD文件(*.dat)|*.dat|" << QStringList{"所有文件(*.*)", "VCD文件(*.dat)"};
  QTest::newRow("pattern not in the description")
      << "Pictures|*.bmp;*.jpg|All|" << QStringList{"Pictures (*.bmp *.jpg)", "All (*)"};
}

void TestPlatform::dialogFilters() {
  QFETCH(QString, filter);
  QTEST(CommonDialog::nameFilters(filter), "shown");
}

void TestPlatform::dialogContract() {
  FakeFilePicker picker;
  CommonDialog d(picker, QStringLiteral("请选择多媒体文件"));
  d.setFilter(QStringLiteral("所有文件(*.*)|*.*|VCD文件(*.dat)|*.dat|"));
  d.setFilterIndex(2);
  picker.answers = {QStringLiteral("/media/a.mp3"), std::nullopt};
  d.ShowOpen();
  QCOMPARE(d.FileName(), QStringLiteral("/media/a.mp3"));
  QCOMPARE(picker.requests.last().selectedFilter, 1);
  d.setCancelError(true);
  try {
    d.ShowSave();
    QFAIL("a cancel with CancelError must raise");
  } catch (const basic::Error& e) {
    QCOMPARE(e.number(), 32755);
  }
  QCOMPARE(d.FileName(), QStringLiteral("/media/a.mp3"));  // a cancel keeps the name
}

QTEST_GUILESS_MAIN(TestPlatform)
#include "test_platform.moc"
