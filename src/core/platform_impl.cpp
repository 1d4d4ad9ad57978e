// SPDX-License-Identifier: GPL-3.0-or-later
#include <unistd.h>
#include <QFileInfo>
#include <QImageReader>
#include <QMessageBox>
#include <QProcess>
#include <QStandardPaths>
#include <cstdio>

#include "base/basic.h"
#include "core/launcher.h"
#include "core/message_boxes.h"
#include "core/picture_loader.h"
#include "core/program_exit.h"

void QtMessageBoxes::show(const QString& text, const QString& title, Icon icon) {
  QMessageBox box(icon == Icon::Stop ? QMessageBox::Critical : QMessageBox::NoIcon, title, text, QMessageBox::Ok);
  box.exec();
}

void ProcessExit::endNow() {
  std::fflush(nullptr);
  ::_exit(0);
}

bool Launcher::startFirst(const QList<Command>& candidates) {
  for (const Command& c : candidates) {
    const QString path = find(c.program);
    if (!path.isEmpty() && start(path, c.arguments)) return true;
  }
  return false;
}

QString ProcessLauncher::find(const QString& program) const {
  if (program.startsWith(QLatin1Char('/'))) {
    const QFileInfo fi(program);
    return fi.isFile() && fi.isExecutable() ? program : QString();
  }
  return QStandardPaths::findExecutable(program);
}

bool ProcessLauncher::start(const QString& program, const QStringList& arguments) {
  return QProcess::startDetached(program, arguments);
}

QPixmap FilePictureLoader::load(const QString& path) {
  if (path.isEmpty() || !QFileInfo(path).isFile())
    throw basic::Error(basic::kFileNotFound, QStringLiteral("File not found"));
  QImageReader reader(path);
  reader.setDecideFormatFromContent(true);
  const QImage image = reader.read();
  if (image.isNull()) throw basic::Error(basic::kInvalidPicture, QStringLiteral("Invalid picture"));
  return QPixmap::fromImage(image);
}
