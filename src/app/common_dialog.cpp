// SPDX-License-Identifier: GPL-3.0-or-later
#include "app/common_dialog.h"

#include <QFileDialog>

#include "base/basic.h"

QStringList CommonDialog::nameFilters(const QString& filter) {
  const QStringList parts = filter.split(QLatin1Char('|'));
  QStringList out;
  for (int i = 0; i + 1 < parts.size(); i += 2) {
    const QString desc = parts[i];
    QString pattern = parts[i + 1].trimmed();
    if (desc.isEmpty() && pattern.isEmpty()) continue;
    pattern.replace(QLatin1Char(';'), QLatin1Char(' '));
    // Qt's chooser shows the entry as it is and takes the patterns from its
    // last brackets: a description that ends in its own pattern, as
    // "VCD文件(*.dat)" does, is an entry already.
    const QString bracketed = QStringLiteral("(%1)").arg(pattern.isEmpty() ? QStringLiteral("*") : pattern);
    out << (desc.endsWith(bracketed) ? desc : desc + QLatin1Char(' ') + bracketed);
  }
  return out;
}

void CommonDialog::show(FilePicker::Mode mode) {
  FilePicker::Request r;
  r.mode = mode;
  r.title = title_;
  r.initialName = fileName_;
  r.nameFilters = nameFilters(filter_);
  // FilterIndex is 1-based; 0 or out of range selects the first pair.
  r.selectedFilter = (filterIndex_ >= 1 && filterIndex_ <= r.nameFilters.size()) ? filterIndex_ - 1 : 0;
  const std::optional<QString> chosen = picker_.pick(r);
  if (!chosen) {
    if (cancelError_) throw basic::Error(basic::kCancel, QStringLiteral("Cancel was selected."));
    return;
  }
  fileName_ = *chosen;
}

std::optional<QString> QtFilePicker::pick(const Request& request) {
  QFileDialog dlg(parent_, request.title);
  dlg.setAcceptMode(request.mode == Mode::Save ? QFileDialog::AcceptSave : QFileDialog::AcceptOpen);
  dlg.setFileMode(request.mode == Mode::Save ? QFileDialog::AnyFile : QFileDialog::ExistingFile);
  // Qt's own dialog behaves the same on every desktop and under test.
  dlg.setOption(QFileDialog::DontUseNativeDialog, true);
  if (!request.nameFilters.isEmpty()) {
    dlg.setNameFilters(request.nameFilters);
    dlg.selectNameFilter(request.nameFilters.value(request.selectedFilter));
  }
  if (!request.initialName.isEmpty()) {
    const QFileInfo fi(request.initialName);
    if (fi.isAbsolute()) dlg.setDirectory(fi.absolutePath());
    dlg.selectFile(fi.fileName());
  }
  if (dlg.exec() != QDialog::Accepted || dlg.selectedFiles().isEmpty()) return std::nullopt;
  return dlg.selectedFiles().constFirst();
}
