// SPDX-License-Identifier: GPL-3.0-or-later
// The drive, directory and file lists of the playlist window.
#include "playback/file_lists.h"

#include <QDir>
#include <QDirIterator>
#include <QFileInfo>
#include <QKeyEvent>
#include <QListWidget>
#include <QPainter>
#include <QStyledItemDelegate>
#include <algorithm>

#include "base/basic.h"

namespace {

constexpr int kPathNotFound = 76;
constexpr int kDepthRole = Qt::UserRole + 1;
constexpr int kIndentPx = 10;

bool nameLess(const QString& a, const QString& b) {
  const int c = a.compare(b, Qt::CaseInsensitive);
  return c != 0 ? c < 0 : a < b;
}

}  // namespace

// One pass over the folder gives both lists, without hidden entries, each
// sorted as a person reads them. The kind of an entry comes from the
// directory entry itself wherever the file system gives it, so a large
// folder is not stat()ed file by file.
FolderEntries FolderEntries::read(const QString& folder) {
  FolderEntries e;
  QDirIterator it(folder, QDir::Dirs | QDir::Files | QDir::NoDotAndDotDot);
  while (it.hasNext()) {
    it.next();
    (it.fileInfo().isDir() ? e.folders : e.files).append(it.fileName());
  }
  std::sort(e.folders.begin(), e.folders.end(), nameLess);
  std::sort(e.files.begin(), e.files.end(), nameLess);
  return e;
}

namespace {

bool enterable(const QString& folder) {
  const QFileInfo fi(folder);
  return fi.isDir() && fi.isReadable() && fi.isExecutable();
}

QString joined(const QString& folder, const QString& name) {
  return folder.endsWith(QLatin1Char('/')) ? folder + name : folder + QLatin1Char('/') + name;
}

// Shifts each folder of the directory list right by its depth.
class IndentDelegate : public QStyledItemDelegate {
 public:
  using QStyledItemDelegate::QStyledItemDelegate;
  void paint(QPainter* painter, const QStyleOptionViewItem& option, const QModelIndex& index) const override {
    QStyleOptionViewItem o(option);
    o.rect.setLeft(o.rect.left() + index.data(kDepthRole).toInt() * kIndentPx);
    QStyledItemDelegate::paint(painter, o, index);
  }
};

}  // namespace

// ---------------------------------------------------------------- drives

DriveListBox::DriveListBox(const QList<Drives::Drive>& drives, QWidget* parent) : QComboBox(parent) {
  for (const Drives::Drive& d : drives) addItem(d.text(), QString(d.letter));
  shown_ = currentIndex();
  connect(this, &QComboBox::activated, this, &DriveListBox::showIndex);
}

QString DriveListBox::drive() const {
  const QString letter = currentData().toString();
  return letter.isEmpty() ? QString() : letter + QLatin1Char(':');
}

void DriveListBox::setDrive(const QString& drive) {
  if (drive.isEmpty()) return;
  const int i = findData(QString(drive.at(0).toLower()));
  if (i >= 0) showIndex(i);
}

void DriveListBox::showIndex(int index) {
  setCurrentIndex(index);
  if (index == shown_) return;
  shown_ = index;
  Q_EMIT Change();
}

// ---------------------------------------------------------------- folders

DirListBox::DirListBox(QWidget* parent) : QListWidget(parent) {
  setSelectionMode(QAbstractItemView::SingleSelection);
  setUniformItemSizes(true);
  setItemDelegate(new IndentDelegate(this));
  connect(this, &QListWidget::itemDoubleClicked, this, &DirListBox::enter);
}

void DirListBox::setPath(const QString& folder) {
  const QString clean = QDir::cleanPath(QDir(path_).absoluteFilePath(folder));
  const bool under = root_ == QLatin1String("/") || clean == root_ || clean.startsWith(root_ + QLatin1Char('/'));
  if (!under || !enterable(clean)) throw basic::Error(kPathNotFound, QStringLiteral("Path not found: %1").arg(folder));
  showFolder(root_, clean);
}

void DirListBox::setDrive(const QString& root) {
  const QString clean = QDir::cleanPath(QDir(root).absolutePath());
  if (!enterable(clean)) throw basic::Error(kPathNotFound, QStringLiteral("Path not found: %1").arg(root));
  showFolder(clean, clean);
}

void DirListBox::showFolder(const QString& root, const QString& folder) {
  const bool changed = folder != path_;
  root_ = root;
  path_ = folder;

  setUpdatesEnabled(false);
  clear();
  const QIcon open = style()->standardIcon(QStyle::SP_DirOpenIcon);
  const QIcon closed = style()->standardIcon(QStyle::SP_DirClosedIcon);
  auto add = [this](const QIcon& icon, const QString& text, const QString& path, int depth) {
    auto* item = new QListWidgetItem(icon, text, this);
    item->setData(Qt::UserRole, path);
    item->setData(kDepthRole, depth);
    return item;
  };
  // The way down from the root, each folder open, the current one last.
  const QString below = folder == root ? QString() : folder.mid(root == QLatin1String("/") ? 1 : root.size() + 1);
  const QStringList steps = below.split(QLatin1Char('/'), Qt::SkipEmptyParts);
  QListWidgetItem* current = add(open, root, root, 0);
  QString at = root;
  int depth = 0;
  for (const QString& step : steps) {
    at = joined(at, step);
    current = add(open, step, at, ++depth);
  }
  entries_ = FolderEntries::read(folder);
  for (const QString& sub : entries_.folders) add(closed, sub, joined(folder, sub), depth + 1);
  setCurrentItem(current);
  setUpdatesEnabled(true);
  scrollToItem(current);

  if (changed) Q_EMIT Change();
}

void DirListBox::enter(QListWidgetItem* item) {
  if (!item) return;
  const QString target = item->data(Qt::UserRole).toString();
  try {
    setPath(target);
  } catch (const basic::Error&) {
    Q_EMIT unreadable(target);
  }
}

void DirListBox::keyPressEvent(QKeyEvent* event) {
  if (event->key() == Qt::Key_Return || event->key() == Qt::Key_Enter) {
    enter(currentItem());
    return;
  }
  QListWidget::keyPressEvent(event);
}

// ---------------------------------------------------------------- files

FileListBox::FileListBox(QWidget* parent) : QListWidget(parent) {
  setSelectionMode(QAbstractItemView::SingleSelection);
  setUniformItemSizes(true);
}

void FileListBox::setPath(const QString& folder) { setPath(folder, FolderEntries::read(folder).files); }

void FileListBox::setPath(const QString& folder, const QStringList& files) {
  path_ = folder;
  names_ = files;
  fill();
}

void FileListBox::setPattern(const QString& pattern) {
  pattern_ = pattern;
  filters_.clear();
  all_ = false;
  const QStringList parts = pattern.split(QLatin1Char(';'), Qt::SkipEmptyParts);
  bool empty = true;
  for (QString part : parts) {
    part = part.trimmed();
    if (part.isEmpty()) continue;
    empty = false;
    if (part == QLatin1String("*") || part == QLatin1String("*.*")) all_ = true;
    // Brackets are part of file names here, not character classes.
    part.replace(QLatin1Char('['), QStringLiteral("[[]"));
    filters_.append(QRegularExpression::fromWildcard(part, Qt::CaseInsensitive));
    // "name.*" stands for the name with any extension or none.
    if (part.endsWith(QLatin1String(".*")))
      filters_.append(QRegularExpression::fromWildcard(part.chopped(2), Qt::CaseInsensitive));
  }
  if (empty) all_ = true;
  fill();
}

QString FileListBox::fileName() const {
  const QList<QListWidgetItem*> chosen = selectedItems();
  return chosen.isEmpty() ? QString() : chosen.first()->text();
}

void FileListBox::fill() {
  QStringList shown;
  if (all_) {
    shown = names_;
  } else {
    for (const QString& name : names_)
      if (std::any_of(filters_.cbegin(), filters_.cend(),
                      [&name](const QRegularExpression& re) { return re.match(name).hasMatch(); }))
        shown.append(name);
  }
  setUpdatesEnabled(false);
  clear();
  addItems(shown);
  setUpdatesEnabled(true);
}
