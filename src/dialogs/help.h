// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once
#include <QWidget>

class ParagraphLabel;
class QPushButton;

// The help window: two pages of text in one label. Modeless, sizable, a
// window of its own (it stays when the main window closes) and gone once
// closed. The controls keep their places and sizes when it is resized.
class frmhelp : public QWidget {
  Q_OBJECT
 public:
  frmhelp();

  static QString page1();
  static QString page2();

  ParagraphLabel* Label1 = nullptr;
  QPushButton* cmdok = nullptr;
  QPushButton* cmd1 = nullptr;
  QPushButton* cmd2 = nullptr;

  void cmdok_Click();
  // Closes this window and shows a fresh one, which replaced() announces.
  void cmd1_Click();
  void cmd2_Click();

 Q_SIGNALS:
  void replaced(frmhelp* fresh);
};
