// SPDX-License-Identifier: GPL-3.0-or-later
// The yardstick for the player's idle memory: the least a Qt 6 Widgets
// program with the same kind of window takes, a menu bar and a list, with
// Chinese captions so the same CJK font is loaded, and the player's size
// (its window buffer counts too). Runs until closed.
#include <QApplication>
#include <QListWidget>
#include <QMainWindow>
#include <QMenuBar>

int main(int argc, char** argv) {
  QApplication app(argc, argv);
  QMainWindow window;
  window.setWindowTitle(QStringLiteral("最小窗口"));
  for (const QString& title : {QStringLiteral("文件(&F)"), QStringLiteral("选项(&O)"), QStringLiteral("帮助(&H)")})
    window.menuBar()->addMenu(title)->addAction(QStringLiteral("退出(&X)"), &app, &QApplication::quit);
  auto* list = new QListWidget(&window);
  list->addItem(QStringLiteral("播放列表:"));
  window.setCentralWidget(list);
  window.resize(225, 133 + window.menuBar()->sizeHint().height());
  window.show();
  return QApplication::exec();
}
