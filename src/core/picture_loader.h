// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once
#include <QPixmap>
#include <QString>

// Turns a picture file into a picture. Raises basic::Error 53 when the file
// is missing and 481 when it is not a picture.
class PictureLoader {
 public:
  virtual ~PictureLoader() = default;
  virtual QPixmap load(const QString& path) = 0;
};

class FilePictureLoader final : public PictureLoader {
 public:
  QPixmap load(const QString& path) override;
};
