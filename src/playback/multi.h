// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once
#include <QComboBox>
#include <QListWidget>
#include <QPointer>
#include <QRegularExpression>
#include <QWidget>

#include "playback/file_lists.h"

class QLabel;
class QPushButton;
class frmcd;

// The playlist window. It disables the main window while it is open and
// hands the chosen names over through the main window's track list,
// multidir and readmulti. Built afresh each time; deletes itself when
// closed. A close from the window frame acts as Cancel, and so does the
// main window closing meanwhile.
class multi : public QWidget {
  Q_OBJECT
 public:
  // The most entries a playlist may have: the main window counts the rows
  // of its list, header included, in 16 bits.
  static constexpr int kMaxEntries = 32766;
  static inline const QString kTooMany = QStringLiteral("播放列表最多只能有32766个文件。");
  static inline const QString kUnreadableFolder = QStringLiteral("无法打开该文件夹。");
  // The list of `filetype`: every file first, then one pattern per kind of medium.
  static inline const QStringList kFileTypes = {
      QStringLiteral("*.*"),   QStringLiteral("*.wav"), QStringLiteral("*.mid"), QStringLiteral("*.avi"),
      QStringLiteral("*.mp3"), QStringLiteral("*.mpg"), QStringLiteral("*.dat")};

  explicit multi(frmcd& main);
  ~multi() override;

  DriveListBox* Drive1 = nullptr;
  DirListBox* Dir1 = nullptr;
  FileListBox* File1 = nullptr;
  QPushButton* cmd_add = nullptr;
  QPushButton* cmd_red = nullptr;
  QPushButton* red_all = nullptr;
  QListWidget* List1 = nullptr;
  QPushButton* cmd_ok = nullptr;
  QPushButton* cmd_cancel = nullptr;
  QComboBox* filetype = nullptr;
  QLabel* Label1 = nullptr;

  void Form_Load();
  void Form_Unload();
  void Drive1_Change();
  void Dir1_Change();
  void filetype_Change();
  void filetype_Click();
  void cmd_add_Click();
  void File1_DblClick();
  void cmd_red_Click();
  void List1_DblClick();
  void red_all_Click();
  void cmd_ok_Click();
  void cmd_cancel_Click();

 protected:
  void closeEvent(QCloseEvent* event) override;
  bool eventFilter(QObject* watched, QEvent* event) override;

 private:
  void buildControls();
  void addChosen();
  void removeChosen();

  QPointer<frmcd> main_;
  bool handingOver_ = false;  // OK has refilled the main window's list
  bool unloaded_ = false;
};
