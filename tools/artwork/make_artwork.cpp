// SPDX-License-Identifier: GPL-3.0-or-later
// Paints the player's own pictures: the default background, the program
// icon, the capture button's picture and the About logo. Run at build time,
// so the pictures are made from this source and never copied from elsewhere.
#include <QColor>
#include <QCoreApplication>
#include <QDir>
#include <QImage>
#include <QLinearGradient>
#include <QPainter>
#include <QPainterPath>
#include <QRadialGradient>
#include <cmath>
#include <cstdio>

namespace {

void drawDisc(QPainter& p, QPointF c, double r, const QColor& tint) {
  QRadialGradient g(c, r);
  g.setColorAt(0.0, QColor(250, 250, 255));
  g.setColorAt(0.55, tint.lighter(130));
  g.setColorAt(1.0, tint.darker(150));
  p.setPen(QPen(QColor(40, 40, 60, 160), std::max(1.0, r / 24)));
  p.setBrush(g);
  p.drawEllipse(c, r, r);
  // Grooves catch the light in two arcs.
  p.setBrush(Qt::NoBrush);
  for (double k = 0.45; k < 0.95; k += 0.12) {
    p.setPen(QPen(QColor(255, 255, 255, 70), 1));
    p.drawArc(QRectF(c.x() - r * k, c.y() - r * k, 2 * r * k, 2 * r * k), 30 * 16, 60 * 16);
    p.drawArc(QRectF(c.x() - r * k, c.y() - r * k, 2 * r * k, 2 * r * k), 210 * 16, 60 * 16);
  }
  p.setPen(QPen(QColor(60, 60, 80), 1));
  p.setBrush(QColor(235, 235, 240));
  p.drawEllipse(c, r * 0.18, r * 0.18);
  p.setBrush(QColor(30, 30, 40));
  p.drawEllipse(c, r * 0.07, r * 0.07);
}

QImage background() {
  QImage img(320, 240, QImage::Format_RGB32);
  QPainter p(&img);
  p.setRenderHint(QPainter::Antialiasing);
  QLinearGradient sky(0, 0, 0, img.height());
  sky.setColorAt(0.0, QColor(18, 42, 92));
  sky.setColorAt(0.6, QColor(58, 96, 160));
  sky.setColorAt(1.0, QColor(200, 140, 110));
  p.fillRect(img.rect(), sky);
  // Sound waves drift across the picture.
  for (int i = 0; i < 5; ++i) {
    QPainterPath wave;
    const double y0 = 150 + i * 14;
    wave.moveTo(0, y0);
    for (int x = 0; x <= img.width(); x += 4)
      wave.lineTo(x, y0 + 9 * std::sin(x / (28.0 + 6 * i) + i) * std::cos(x / 90.0));
    p.setPen(QPen(QColor(255, 230, 200, 60 + 25 * i), 1.6));
    p.drawPath(wave);
  }
  // A few soft stars.
  for (int i = 0; i < 40; ++i) {
    const int x = (i * 97 + 13) % img.width(), y = (i * 53 + 7) % 120;
    p.setPen(Qt::NoPen);
    p.setBrush(QColor(255, 255, 255, 60 + (i * 37) % 120));
    p.drawEllipse(QPointF(x, y), 0.8 + (i % 3) * 0.4, 0.8 + (i % 3) * 0.4);
  }
  drawDisc(p, QPointF(92, 78), 46, QColor(120, 170, 230));
  drawDisc(p, QPointF(160, 104), 26, QColor(230, 170, 120));
  return img;
}

// Sixteen colours, as the icon and the button picture were drawn for.
QImage sixteenColours(const QImage& src) {
  static const QRgb palette[16] = {0xff000000, 0xff800000, 0xff008000, 0xff808000, 0xff000080, 0xff800080,
                                   0xff008080, 0xffc0c0c0, 0xff808080, 0xffff0000, 0xff00ff00, 0xffffff00,
                                   0xff0000ff, 0xffff00ff, 0xff00ffff, 0xffffffff};
  QList<QRgb> table(std::begin(palette), std::end(palette));
  return src.convertToFormat(QImage::Format_Indexed8, table, Qt::ThresholdDither | Qt::AvoidDither);
}

// The program's icon, designed on a 32 x 32 grid in sixteen colours. Other
// sizes paint the same design scaled: small ones keep the sixteen colours
// (as the desktop's menus show them beside the window icon), large ones
// would turn the palette into bands and are painted in full colour.
QImage icon(int size) {
  QImage img(size, size, QImage::Format_ARGB32);
  img.fill(Qt::transparent);
  QPainter p(&img);
  p.setRenderHint(QPainter::Antialiasing);
  p.scale(size / 32.0, size / 32.0);
  drawDisc(p, QPointF(16, 16), 14.5, QColor(0, 0, 255));
  // A note over the disc.
  p.setPen(QPen(QColor(255, 255, 0), 2));
  p.drawLine(QPointF(21, 6), QPointF(21, 17));
  p.setBrush(QColor(255, 255, 0));
  p.drawEllipse(QPointF(18.5, 18), 3, 2.3);
  p.end();
  if (size > 32) return img;
  QImage indexed = sixteenColours(img.convertToFormat(QImage::Format_RGB32));
  // Keep the round outline: corners transparent in the saved PNG.
  QImage out = indexed.convertToFormat(QImage::Format_ARGB32);
  for (int y = 0; y < size; ++y)
    for (int x = 0; x < size; ++x)
      if (qAlpha(img.pixel(x, y)) < 128) out.setPixel(x, y, qRgba(0, 0, 0, 0));
  return out;
}

QImage cameraButton() {
  QImage img(29, 20, QImage::Format_RGB32);
  img.fill(QColor(192, 192, 192));
  QPainter p(&img);
  p.setPen(QColor(0, 0, 0));
  p.setBrush(QColor(128, 128, 128));
  p.drawRect(3, 5, 22, 12);
  p.drawRect(9, 2, 8, 3);
  p.setBrush(QColor(0, 0, 128));
  p.drawEllipse(QPoint(14, 11), 4, 4);
  p.setBrush(QColor(0, 255, 255));
  p.drawEllipse(QPoint(13, 10), 1, 1);
  p.fillRect(21, 7, 2, 2, QColor(255, 0, 0));
  p.end();
  return sixteenColours(img);
}

QImage logo() {
  QImage img(90, 47, QImage::Format_RGB888);
  QPainter p(&img);
  p.setRenderHint(QPainter::Antialiasing);
  QLinearGradient g(0, 0, 90, 47);
  g.setColorAt(0, QColor(18, 42, 92));
  g.setColorAt(1, QColor(90, 130, 190));
  p.fillRect(img.rect(), g);
  drawDisc(p, QPointF(24, 23.5), 19, QColor(120, 170, 230));
  for (int i = 0; i < 6; ++i) {
    const double h = 6 + 14 * std::fabs(std::sin(i * 1.3 + 0.4));
    p.fillRect(QRectF(50 + i * 6.5, 40 - h, 4.5, h), QColor(255, 200 - i * 15, 120));
  }
  return img;
}

bool save(const QImage& img, const QString& path, const char* format) {
  if (img.save(path, format)) return true;
  std::fprintf(stderr, "make_artwork: cannot write %s\n", qPrintable(path));
  return false;
}

}  // namespace

int main(int argc, char** argv) {
  QCoreApplication app(argc, argv);
  if (argc < 3 || argc == 4) {
    std::fprintf(stderr, "usage: make_artwork BG_BMP_PATH RESOURCE_DIR [ICON_THEME_DIR SIZE...]\n");
    return 2;
  }
  const QString bg = QString::fromLocal8Bit(argv[1]);
  const QString dir = QString::fromLocal8Bit(argv[2]);
  bool ok = save(background(), bg, "BMP") && save(icon(32), dir + QStringLiteral("/icon.png"), "PNG") &&
            save(cameraButton(), dir + QStringLiteral("/cmd_scr.bmp"), "BMP") &&
            save(logo(), dir + QStringLiteral("/logo.bmp"), "BMP");
  // The desktop's icon theme: <dir>/<n>x<n>/apps/mirova.png at each size asked for.
  const QString theme = argc > 3 ? QString::fromLocal8Bit(argv[3]) : QString();
  for (int i = 4; ok && i < argc; ++i) {
    const int size = QByteArray(argv[i]).toInt();
    if (size < 1 || size > 1024) {
      std::fprintf(stderr, "make_artwork: bad icon size %s\n", argv[i]);
      return 2;
    }
    const QString folder = QStringLiteral("%1/%2x%2/apps").arg(theme).arg(size);
    ok = QDir().mkpath(folder) && save(icon(size), folder + QStringLiteral("/mirova.png"), "PNG");
  }
  return ok ? 0 : 1;
}
