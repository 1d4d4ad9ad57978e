// The background picture of the main window, on fakes.
#include <QAction>
#include <QTest>

#include "app/frmcd.h"
#include "fakes/fakes.h"

class TestPictures : public QObject {
  Q_OBJECT
 private Q_SLOTS:
  void background_data();
  void background();
};

void TestPictures::background_data() {
  QTest::addColumn<QStringList>("answers");  // "" cancels
  QTest::addColumn<QColor>("colour");        // on show at the end
  QTest::addColumn<QStringList>("stored");   // values written to size/bg, in order
  const QString a = QStringLiteral("/pics/a b.bmp");
  const QString bad = QStringLiteral("/pics/notes.txt");
  QTest::newRow("choose") << QStringList{a} << QColor(Qt::red) << QStringList{a};
  QTest::newRow("cancel after start") << QStringList{QString()} << QColor(Qt::yellow) << QStringList{};
  QTest::newRow("cancel after choice") << QStringList{a, QString()} << QColor(Qt::red) << QStringList{a, a};
  QTest::newRow("not a picture") << QStringList{bad} << QColor(Qt::yellow) << QStringList{};
  QTest::newRow("not a picture, then cancel") << QStringList{a, bad, QString()} << QColor(Qt::red) << QStringList{a, a};
}

void TestPictures::background() {
  QFETCH(QStringList, answers);
  QFETCH(QColor, colour);
  QFETCH(QStringList, stored);
  FakePlatform fp;
  fp.settings.set(QStringLiteral("size"), QStringLiteral("bg"), QStringLiteral("/saved/s.bmp"));
  fp.pictures.add(QStringLiteral("/saved/s.bmp"), {30, 30}, Qt::yellow);
  fp.pictures.add(QStringLiteral("/pics/a b.bmp"), {30, 30}, Qt::red);
  fp.pictures.notPictures << QStringLiteral("/pics/notes.txt");
  Platform p = fp.platform();
  frmcd w(p);
  w.start();
  w.reload();  // rebuilt controls must not connect the menu twice
  fp.settings.writes.clear();
  for (const QString& answer : answers) {
    fp.filePicker.answers.push_back(answer.isEmpty() ? std::nullopt : std::optional(answer));
    w.action(QStringLiteral("bjfile"))->trigger();
  }
  QCOMPARE(fp.filePicker.requests.size(), answers.size());
  QCOMPARE(w.picture().toImage().pixelColor(0, 0), colour);  // at once, with no repaint or restart
  for (QString& v : stored) v.prepend(QStringLiteral("size/bg="));
  QCOMPARE(fp.settings.writes, stored);  // nothing else is touched
  QCOMPARE(fp.messages.texts(), answers.contains(QStringLiteral("/pics/notes.txt"))
                                    ? QStringList{QStringLiteral("无法读取这个图片文件，背景没有改变。")}
                                    : QStringList{});
}

QTEST_MAIN(TestPictures)
#include "test_pictures.moc"
