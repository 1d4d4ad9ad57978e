// SPDX-License-Identifier: GPL-3.0-or-later
#include "dialogs/capture_notice.h"

#include <QLabel>
#include <QPushButton>

#include "core/launcher.h"
#include "core/message_boxes.h"
#include "core/twips.h"

Dialog::Dialog(Launcher& launcher, MessageBoxes& messages, QWidget* mainWindow)
    : QDialog(nullptr, Qt::Dialog | Qt::WindowTitleHint | Qt::WindowCloseButtonHint | Qt::MSWindowsFixedSizeDialogHint),
      launcher_(launcher),
      messages_(messages),
      mainWindow_(mainWindow) {
  setObjectName(QStringLiteral("Dialog"));
  setAttribute(Qt::WA_DeleteOnClose);
  setModal(false);
  setWindowTitle(QStringLiteral("截图"));
  setFixedSize(twips::toPx(6030), twips::toPx(1410));

  OKButton = new QPushButton(QStringLiteral("显示截图按钮"), this);
  OKButton->setObjectName(QStringLiteral("OKButton"));
  OKButton->setGeometry(twips::rect(3600, 960, 1335, 375));

  Label1 = new QLabel(this);
  Label1->setObjectName(QStringLiteral("Label1"));
  Label1->setGeometry(twips::rect(120, 30, 5775, 855));
  Label1->setWordWrap(true);
  Label1->setTextFormat(Qt::PlainText);
  Label1->setAlignment(Qt::AlignLeft | Qt::AlignTop);
  Label1->setText(
      QStringLiteral("    注意：") + QString(58, QLatin1Char(' ')) +
      QStringLiteral("在Windows的“DirectDraw”功能打开时，截得的图片可能会不正确。请运行“c:\\windows\\system\\dxdiag”,"
                     "在“显示”窗口中选“禁用”DirectDraw。，然后再开始播放文件。"));

  Command1 = new QPushButton(QStringLiteral("运行Dxdiag"), this);
  Command1->setObjectName(QStringLiteral("Command1"));
  Command1->setGeometry(twips::rect(1080, 960, 1335, 375));

  setTabOrder(OKButton, Command1);
  connect(OKButton, &QPushButton::clicked, this, &Dialog::OKButton_Click);
  connect(Command1, &QPushButton::clicked, this, &Dialog::Command1_Click);
}

void Dialog::OKButton_Click() {
  Q_EMIT showCaptureButton();
  close();
}

// The desktop's own display settings take the place of the diagnostic tool.
void Dialog::Command1_Click() {
  const QList<Launcher::Command> tools = {
      {QStringLiteral("gnome-control-center"), {QStringLiteral("display")}},
      {QStringLiteral("systemsettings"), {QStringLiteral("kcm_kscreen")}},
      {QStringLiteral("xfce4-display-settings"), {}},
      {QStringLiteral("cinnamon-settings"), {QStringLiteral("display")}},
      {QStringLiteral("mate-display-properties"), {}},
      {QStringLiteral("lxqt-config-monitor"), {}},
      {QStringLiteral("arandr"), {}},
      {QStringLiteral("lxrandr"), {}},
  };
  if (launcher_.startFirst(tools)) return;
  messages_.show(QStringLiteral("无法打开dxdiag！可能是未安装directX。"), QStringLiteral("Savrel超级播放器"));
  if (mainWindow_) {
    mainWindow_->show();
    mainWindow_->raise();
    mainWindow_->activateWindow();
  }
}
