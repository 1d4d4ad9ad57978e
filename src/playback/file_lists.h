// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once
#include <QComboBox>
#include <QListWidget>
#include <QRegularExpression>

#include "disc/drives.h"

// The playlist window's drive, directory and file lists, and the one pass
// over a folder that fills them.

// What one folder holds, read in one pass: subfolders and files, each
// without hidden entries and sorted without regard to case.
struct FolderEntries {
  QStringList folders;
  QStringList files;
  static FolderEntries read(const QString& folder);
};

// The drive list: one entry per drive letter, "c: [/]" first. Change comes
// when the shown drive changes, by the user's pick or by setDrive().
class DriveListBox : public QComboBox {
  Q_OBJECT
 public:
  DriveListBox(const QList<Drives::Drive>& drives, QWidget* parent = nullptr);
  // "c:", "d:", ...: the letter of the shown entry and a colon.
  QString drive() const;
  // Shows the drive of `drive`'s first letter; a letter not in the list is
  // passed over.
  void setDrive(const QString& drive);

 Q_SIGNALS:
  void Change();

 private:
  void showIndex(int index);
  int shown_ = -1;
};

// The directory list: the folders from the drive's root down to the
// current folder, then the current folder's subfolders. A double-click (or
// Enter) on an entry makes it the current folder. Change comes whenever the
// path changes.
class DirListBox : public QListWidget {
  Q_OBJECT
 public:
  explicit DirListBox(QWidget* parent = nullptr);
  // The current folder; only the root "/" ends in a separator.
  QString path() const { return path_; }
  QString root() const { return root_; }
  // Moves to `folder` below the same root. Raises basic::Error (76, path
  // not found) when it is not a readable folder under the root.
  void setPath(const QString& folder);
  // Moves to another drive: `root` becomes both root and current folder.
  void setDrive(const QString& root);
  // The current folder as last read.
  const FolderEntries& entries() const { return entries_; }

 Q_SIGNALS:
  void Change();
  // A double-clicked folder could not be entered; the list stays where it was.
  void unreadable(const QString& folder);

 protected:
  void keyPressEvent(QKeyEvent* event) override;

 private:
  void enter(QListWidgetItem* item);
  void showFolder(const QString& root, const QString& folder);
  QString root_;
  QString path_;
  FolderEntries entries_;
};

// The file list: the files of one folder whose names match the pattern,
// single selection. The folder is read once per setPath(); a new pattern
// only filters the names already read, so typing a pattern stays quick on
// large folders.
class FileListBox : public QListWidget {
  Q_OBJECT
 public:
  explicit FileListBox(QWidget* parent = nullptr);
  QString path() const { return path_; }
  void setPath(const QString& folder);
  // The same with the folder's files already read (sorted).
  void setPath(const QString& folder, const QStringList& files);
  QString pattern() const { return pattern_; }
  // Wildcards as the file dialogs take them, several joined with ';'; case
  // does not matter; "*.*" (or an empty pattern) shows every file and
  // "name.*" also shows "name".
  void setPattern(const QString& pattern);
  // The selected file's bare name, empty when none is selected.
  QString fileName() const;

 private:
  void fill();
  QString path_;
  QString pattern_ = QStringLiteral("*.*");
  QStringList names_;  // every file of the folder, sorted
  QList<QRegularExpression> filters_;
  bool all_ = true;
};
