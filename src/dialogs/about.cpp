// SPDX-License-Identifier: GPL-3.0-or-later
#include "dialogs/about.h"

#include <QFrame>
#include <QKeyEvent>
#include <QPainter>
#include <QPushButton>
#include <QRegularExpression>

#include "core/launcher.h"
#include "core/message_boxes.h"
#include "core/twips.h"

static void initArtworkForAbout() { Q_INIT_RESOURCE(artwork); }

namespace {
const QString kTitle = QStringLiteral("Savrel超级播放器");
// fonts-wqy-microhei stands in for the layout's SimSun, which Linux lacks.
const QString kCjkFont = QStringLiteral("WenQuanYi Micro Hei");

QFont cjkFont(double points, bool bold = false) {
  QFont f(kCjkFont);
  f.setPointSizeF(points);
  f.setBold(bold);
  return f;
}

void blackText(QLabel* label) {
  QPalette p = label->palette();
  p.setColor(QPalette::WindowText, Qt::black);
  label->setPalette(p);
}
}  // namespace

ParagraphLabel::ParagraphLabel(QWidget* parent) : QLabel(parent) {
  setWordWrap(true);
  setTextFormat(Qt::PlainText);
  setAlignment(Qt::AlignLeft | Qt::AlignTop);
}

QString ParagraphLabel::displayText(const QString& text) {
  static const QRegularExpression run(QStringLiteral(" {%1,}").arg(kBreakingRun));
  QString out = text;
  out.replace(run, QStringLiteral("\n"));
  return out;
}

void ParagraphLabel::paintEvent(QPaintEvent*) {
  QPainter p(this);
  drawFrame(&p);
  p.setPen(palette().color(isEnabled() ? QPalette::Active : QPalette::Disabled, foregroundRole()));
  p.drawText(contentsRect(), int(alignment()) | Qt::TextWordWrap, displayText(text()));
}

frmAbout::frmAbout(Launcher& launcher, MessageBoxes& messages)
    : QDialog(nullptr, Qt::Dialog | Qt::WindowTitleHint | Qt::WindowCloseButtonHint | Qt::MSWindowsFixedSizeDialogHint),
      launcher_(launcher),
      messages_(messages) {
  initArtworkForAbout();
  setObjectName(QStringLiteral("frmAbout"));
  setAttribute(Qt::WA_DeleteOnClose);
  setModal(false);
  setFont(cjkFont(9));
  setFixedSize(twips::toPx(5730), twips::toPx(3555));

  cmdOK = new QPushButton(QStringLiteral("确定"), this);
  cmdOK->setObjectName(QStringLiteral("cmdOK"));
  cmdOK->setGeometry(twips::rect(4125, 2625, 1500, 345));
  cmdOK->setDefault(true);

  // A sunken picture box sized to its 90 x 47 logo.
  picIcon = new QLabel(this);
  picIcon->setObjectName(QStringLiteral("picIcon"));
  picIcon->setGeometry(twips::rect(240, 120, 1410, 765));
  picIcon->setFrameStyle(QFrame::Panel | QFrame::Sunken);
  picIcon->setLineWidth(2);
  picIcon->setAlignment(Qt::AlignCenter);
  picIcon->setPixmap(QPixmap(QStringLiteral(":/mirova/logo.bmp")));

  cmdSysInfo = new QPushButton(QStringLiteral("系统信息(&S)..."), this);
  cmdSysInfo->setObjectName(QStringLiteral("cmdSysInfo"));
  cmdSysInfo->setGeometry(twips::rect(4140, 3075, 1485, 345));

  lblDescription = new ParagraphLabel(this);
  lblDescription->setObjectName(QStringLiteral("lblDescription"));
  lblDescription->setGeometry(twips::rect(1050, 1125, 3885, 1290));
  blackText(lblDescription);
  lblDescription->setText(
      QStringLiteral("    本软件可以用来播放CD、VCD、WAV、MIDI等windows多媒体文件。由于本人水平有限，"
                     "设计得不好或欠缺的地方还请大家指出。") +
      QString(18, QLatin1Char(' ')) + QStringLiteral("本软件诚征赞助或广告。") + QString(24, QLatin1Char(' ')) +
      QStringLiteral("祝您使用愉快！") + QString(4, QLatin1Char(' ')) + QStringLiteral("—— Savrel 开发小组"));

  lblDisclaimer = new ParagraphLabel(this);
  lblDisclaimer->setObjectName(QStringLiteral("lblDisclaimer"));
  lblDisclaimer->setGeometry(twips::rect(255, 2625, 3630, 825));
  blackText(lblDisclaimer);
  lblDisclaimer->setText(
      QStringLiteral("本软件按原样提供，不附带任何担保。使用本软件所造成的任何损失，开发者概不负责。"));

  lblTitle = new QLabel(QStringLiteral("Savrel超级播放器"), this);
  lblTitle->setObjectName(QStringLiteral("lblTitle"));
  lblTitle->setGeometry(twips::rect(2280, 240, 3045, 480));
  lblTitle->setFont(cjkFont(15, true));

  lblVersion = new QLabel(QStringLiteral("程序版本： 1.0"), this);
  lblVersion->setObjectName(QStringLiteral("lblVersion"));
  lblVersion->setGeometry(twips::rect(2280, 780, 1260, 180));
  // The row is only 12 pixels high.
  QFont small = cjkFont(9);
  small.setPixelSize(10);
  lblVersion->setFont(small);
  lblVersion->setAlignment(Qt::AlignLeft | Qt::AlignTop);

  // The etched rule: a white line of two pixels under a grey one.
  auto line = [this](const QColor& colour, int x1, int x2, int y, int width) {
    auto* l = new QFrame(this);
    l->setObjectName(QStringLiteral("Line1"));
    l->setGeometry(twips::toPx(x1), twips::toPx(y), twips::toPx(x2) - twips::toPx(x1) + 1, width);
    l->setAutoFillBackground(true);
    QPalette p = l->palette();
    p.setColor(QPalette::Window, colour);
    l->setPalette(p);
  };
  line(Qt::white, 105, 5654, 2520, 2);
  line(QColor(0x80, 0x80, 0x80), 90, 5640, 2520, 1);

  setTabOrder(cmdOK, cmdSysInfo);
  connect(cmdOK, &QPushButton::clicked, this, &frmAbout::cmdOK_Click);
  connect(cmdSysInfo, &QPushButton::clicked, this, &frmAbout::cmdSysInfo_Click);
  Form_Load();
}

void frmAbout::Form_Load() {
  setWindowTitle(QStringLiteral("关于 ") + kTitle);
  lblVersion->setText(QStringLiteral("版本 ") + QString::number(MIROVA_VERSION_MAJOR) + QLatin1Char('.') +
                      QString::number(MIROVA_VERSION_MINOR) + QLatin1Char('.') + QString::number(MIROVA_VERSION_PATCH));
}

void frmAbout::cmdOK_Click() { close(); }

void frmAbout::cmdSysInfo_Click() { StartSysInfo(); }

// Linux has no single registered tool: take the first system information
// viewer this machine has, dedicated ones before the desktops' own pages.
void frmAbout::StartSysInfo() {
  const QList<Launcher::Command> viewers = {
      {QStringLiteral("hardinfo2"), {}},
      {QStringLiteral("hardinfo"), {}},
      {QStringLiteral("kinfocenter"), {}},
      {QStringLiteral("gnome-control-center"), {QStringLiteral("info-overview")}},
      {QStringLiteral("cinnamon-settings"), {QStringLiteral("info")}},
      {QStringLiteral("xfce4-about"), {}},
      {QStringLiteral("mate-system-monitor"), {}},
      {QStringLiteral("lshw-gtk"), {}},
  };
  if (!launcher_.startFirst(viewers)) messages_.show(QStringLiteral("此时系统信息不可用"), kTitle);
}

// Enter presses the default button already; Esc presses the same button.
void frmAbout::keyPressEvent(QKeyEvent* event) {
  if (event->key() == Qt::Key_Escape && event->modifiers() == Qt::NoModifier) {
    cmdOK->click();
    return;
  }
  QDialog::keyPressEvent(event);
}
