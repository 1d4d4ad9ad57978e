// SPDX-License-Identifier: GPL-3.0-or-later
#include "playback/multi.h"

#include <QCloseEvent>
#include <QDir>
#include <QLabel>
#include <QLineEdit>
#include <QListWidget>
#include <QPushButton>
#include <algorithm>

#include "app/frmcd.h"
#include "base/basic.h"
#include "core/message_boxes.h"
#include "core/twips.h"

multi::multi(frmcd& main) : QWidget(nullptr, Qt::Window), main_(&main) {
  setObjectName(QStringLiteral("multi"));
  setAttribute(Qt::WA_DeleteOnClose);
  setWindowTitle(QStringLiteral("选择多个文件"));
  setWindowFlags(Qt::Window | Qt::WindowTitleHint | Qt::WindowSystemMenuHint | Qt::WindowCloseButtonHint);
  setFixedSize(twips::toPx(7185), twips::toPx(3000));
  // The window has no parent (a disabled parent would disable it too), so
  // it follows the main window out when that goes first.
  connect(&main, &QObject::destroyed, this, [this] {
    main_ = nullptr;
    delete this;
  });
  // A disabled window can still be closed from its frame; the list chosen
  // here must not start playing in a main window that has gone.
  main.installEventFilter(this);
  buildControls();
  Form_Load();
}

multi::~multi() = default;

void multi::buildControls() {
  using twips::place;
  Drives& drives = main_->platform().drives;
  Drive1 = new DriveListBox(drives.list(), this);
  place(Drive1, "Drive1", nullptr, 120, 120, 1695, 300);
  Dir1 = new DirListBox(this);
  place(Dir1, "Dir1", nullptr, 120, 480, 1695, 2400);
  File1 = new FileListBox(this);
  place(File1, "File1", "可供选择的文件", 1920, 480, 1695, 2430);
  cmd_add = new QPushButton(QStringLiteral(">"), this);
  place(cmd_add, "cmd_add", "选择", 3720, 480, 615, 375);
  cmd_red = new QPushButton(QStringLiteral("<"), this);
  place(cmd_red, "cmd_red", "清除", 3720, 1200, 615, 375);
  red_all = new QPushButton(QStringLiteral("<<"), this);
  place(red_all, "red_all", "全部清除", 3720, 1920, 615, 375);
  List1 = new QListWidget(this);
  place(List1, "List1", "已选择的文件", 4440, 480, 1575, 2400);
  List1->setSelectionMode(QAbstractItemView::SingleSelection);
  List1->setUniformItemSizes(true);
  cmd_ok = new QPushButton(QStringLiteral("确定"), this);
  place(cmd_ok, "cmd_ok", nullptr, 6120, 720, 975, 375);
  cmd_cancel = new QPushButton(QStringLiteral("取消"), this);
  place(cmd_cancel, "cmd_cancel", nullptr, 6120, 1680, 975, 375);
  filetype = new QComboBox(this);
  place(filetype, "filetype", "文件类型", 1920, 120, 1695, 300);
  filetype->setEditable(true);
  filetype->setInsertPolicy(QComboBox::NoInsert);
  filetype->setCompleter(nullptr);  // no inline completion: the text is the pattern as typed
  filetype->addItems(kFileTypes);
  filetype->setEditText(QStringLiteral("*.*"));
  Label1 = new QLabel(QStringLiteral("已选文件："), this);
  place(Label1, "Label1", nullptr, 4440, 240, 1335, 255);

  QWidget* order[] = {Drive1, Dir1, File1, cmd_add, cmd_red, red_all, List1, cmd_ok, cmd_cancel, filetype};
  for (size_t i = 0; i + 1 < std::size(order); ++i) setTabOrder(order[i], order[i + 1]);

  // The lists start at the process's current folder, on the drive that
  // holds it; a folder that cannot be read leaves them at the drive's root.
  const QString here = QDir::currentPath();
  const QChar letter = drives.driveOf(here);
  Drive1->setDrive(QString(letter));
  try {
    Dir1->setDrive(drives.folder(letter));
  } catch (const basic::Error&) {
    Drive1->setDrive(QStringLiteral("c:"));
    Dir1->setDrive(QStringLiteral("/"));
  }
  try {
    Dir1->setPath(here);
  } catch (const basic::Error&) {
  }
  File1->setPattern(filetype->currentText());
  File1->setPath(Dir1->path(), Dir1->entries().files);

  connect(Drive1, &DriveListBox::Change, this, &multi::Drive1_Change);
  connect(Dir1, &DirListBox::Change, this, &multi::Dir1_Change);
  connect(Dir1, &DirListBox::unreadable, this, [this] {
    if (main_) main_->platform().messages.show(kUnreadableFolder, frmcd::kTitle);
  });
  connect(filetype->lineEdit(), &QLineEdit::textEdited, this, &multi::filetype_Change);
  connect(filetype, &QComboBox::activated, this, &multi::filetype_Click);
  connect(cmd_add, &QPushButton::clicked, this, &multi::cmd_add_Click);
  connect(File1, &QListWidget::itemDoubleClicked, this, &multi::File1_DblClick);
  connect(cmd_red, &QPushButton::clicked, this, &multi::cmd_red_Click);
  connect(List1, &QListWidget::itemDoubleClicked, this, &multi::List1_DblClick);
  connect(red_all, &QPushButton::clicked, this, &multi::red_all_Click);
  connect(cmd_ok, &QPushButton::clicked, this, &multi::cmd_ok_Click);
  connect(cmd_cancel, &QPushButton::clicked, this, &multi::cmd_cancel_Click);
}

void multi::Form_Load() { main_->setEnabled(false); }

void multi::Drive1_Change() {
  const QString drive = Drive1->drive();
  Drives& drives = main_->platform().drives;
  try {
    Dir1->setDrive(drives.folder(drive.at(0)));
  } catch (const basic::Error&) {
    main_->platform().messages.show(QStringLiteral("驱动器错误！"), frmcd::kTitle);
    // Back to c:, whose Change moves the folders there. When c: itself
    // failed there is nothing to go back to: setDrive sees no change.
    Drive1->setDrive(QStringLiteral("c:"));
  }
}

void multi::Dir1_Change() {
  // The folder was just read for the directory list: its files come along.
  File1->setPath(Dir1->path(), Dir1->entries().files);
  List1->clear();
}

void multi::filetype_Change() { File1->setPattern(filetype->currentText()); }

void multi::filetype_Click() { File1->setPattern(filetype->currentText()); }

void multi::cmd_add_Click() { addChosen(); }

void multi::File1_DblClick() { addChosen(); }

void multi::cmd_red_Click() { removeChosen(); }

void multi::List1_DblClick() { removeChosen(); }

void multi::red_all_Click() { List1->clear(); }

void multi::addChosen() {
  const QString name = File1->fileName();
  if (name.isEmpty()) return;
  if (List1->count() >= kMaxEntries) {
    main_->platform().messages.show(kTooMany, frmcd::kTitle);
    return;
  }
  List1->addItem(name);
}

void multi::removeChosen() {
  const QList<QListWidgetItem*> chosen = List1->selectedItems();
  if (chosen.isEmpty()) return;
  delete List1->takeItem(List1->row(chosen.first()));
  // Nothing stays selected, so a second "<" does not remove a neighbour.
  List1->clearSelection();
}

void multi::cmd_ok_Click() {
  if (List1->count() == 0) return;
  QStringList rows;
  rows.reserve(List1->count() + 1);
  rows.append(QStringLiteral("播放列表:"));
  for (int i = 0; i < List1->count(); ++i) rows.append(List1->item(i)->text());
  QListWidget* lsttrack = main_->lsttrack;
  lsttrack->setUpdatesEnabled(false);
  lsttrack->clear();
  lsttrack->addItems(rows);
  lsttrack->setUpdatesEnabled(true);
  handingOver_ = true;
  close();
}

void multi::cmd_cancel_Click() {
  List1->clear();
  close();
}

void multi::closeEvent(QCloseEvent* event) {
  // Only OK refills the main window's list; any other way out is a cancel,
  // so the main window's old rows are never started as if chosen.
  if (!handingOver_) List1->clear();
  Form_Unload();
  event->accept();
}

bool multi::eventFilter(QObject* watched, QEvent* event) {
  // The type first: while the main window is being destroyed it still sends
  // events, and main_ must not be looked at then.
  if (event->type() == QEvent::Close && watched == main_) cmd_cancel_Click();
  return QWidget::eventFilter(watched, event);
}

void multi::Form_Unload() {
  if (unloaded_ || !main_) return;
  unloaded_ = true;
  main_->setEnabled(true);
  // multidir changes only with the list it belongs to: a list that goes on
  // playing after a cancel keeps finding its files.
  if (!handingOver_ || List1->count() == 0) return;
  main_->multidir = Dir1->path();
  main_->runReported([this] { main_->readmulti(); });
}
