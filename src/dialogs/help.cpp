// SPDX-License-Identifier: GPL-3.0-or-later
#include "dialogs/help.h"

#include <QPushButton>

#include "core/twips.h"
#include "dialogs/about.h"

namespace {
QString blanks(int n) { return QString(n, QLatin1Char(' ')); }
}  // namespace

// Paragraphs end in runs of blanks, which the label draws as line breaks.
QString frmhelp::page1() {
  return QStringLiteral("    多谢您使用本软件。") + blanks(40) +
         QStringLiteral("本播放器的背景可以用任意BMP图片自由设置，窗口的大小和上面的控件也都由您自己决定。") +
         blanks(12) +
         QStringLiteral(
             "各种多媒体文件的播放方法大致相同：在“文件”菜单中选择要播放的文件种类，或者按面板上的"
             "“CD”或“VCD”按钮。按“CD”会查出光盘上的曲目，再按播放键开始播放；按“VCD”则自动找到并"
             "播放视频光盘。") +
         blanks(20) +
         QStringLiteral(
             "放入音乐CD并按“CD”后，曲目数显示在右边的列表框里，下面一排八个控制键随即可用：上一首、"
             "下一首、播放、暂停、后退、步进、停止、弹出/关闭。上一首键按一次回到当前歌曲的开头，"
             "按两次回到上一首歌。") +
         blanks(9) +
         QStringLiteral(
             "在“文件”菜单的“打开VCD WAV MIDI MP3等文件”中选“选择单个文件”会出现文件对话框，选定文件"
             "后控制键即可使用。") +
         blanks(16) + QStringLiteral("在CD方式下或按“VCD”之后，双击右边列表框中的曲目名或VCD文件名即可播放它。") +
         blanks(30) +
         QStringLiteral("退出有“退出”和“退出，但不停止CD音乐”两种，后者在播放器关闭后让光盘一直放到最后一首。") +
         blanks(24) + QStringLiteral("发现错误或有什么建议，欢迎告诉我们。") + blanks(60) +
         QStringLiteral("—— Savrel 开发小组");
}

QString frmhelp::page2() {
  return QStringLiteral("附一：关于一些控件。") + blanks(40) +
         QStringLiteral(
             "播放CD时不能使用滚动控制条，播放VCD或多媒体文件时可以用它调整播放位置。时间指示器在播放CD"
             "时显示当前的播放时间，在播放VCD或多媒体文件时显示文件的长度。") +
         blanks(20) + QStringLiteral("附二：关于放VCD的问题。") + blanks(40) +
         QStringLiteral(
             "如果VCD或某种文件放不出来，请检查是否装齐了GStreamer的解码插件，例如软件包"
             "gstreamer1.0-plugins-good、gstreamer1.0-plugins-bad、gstreamer1.0-plugins-ugly和"
             "gstreamer1.0-libav。") +
         blanks(20) + QStringLiteral("附三：关于截图。") + blanks(40) +
         QStringLiteral(
             "在Wayland桌面上，截图要经过桌面的截图服务，桌面可能先征求您的同意；开着窗口合成特效时，"
             "截得的图片偶尔会不正确，视频画面也可能是黑的。如果您有好的办法，欢迎告诉我们。");
}

frmhelp::frmhelp() : QWidget(nullptr, Qt::Window) {
  setObjectName(QStringLiteral("frmhelp"));
  setAttribute(Qt::WA_DeleteOnClose);
  setWindowTitle(QStringLiteral("帮助"));
  resize(twips::toPx(6915), twips::toPx(5880));

  Label1 = new ParagraphLabel(this);
  Label1->setObjectName(QStringLiteral("Label1"));
  Label1->setGeometry(twips::rect(120, 120, 6615, 5175));
  // fonts-wqy-microhei stands in for the layout's SimSun, which Linux lacks.
  QFont font(QStringLiteral("WenQuanYi Micro Hei"));
  font.setPointSizeF(10.5);
  Label1->setFont(font);
  Label1->setText(page1());

  auto button = [this](const char* name, const QString& caption, int left) {
    auto* b = new QPushButton(caption, this);
    b->setObjectName(QLatin1String(name));
    b->setGeometry(twips::rect(left, 5400, 975, 375));
    return b;
  };
  cmdok = button("cmdok", QStringLiteral("关闭"), 4920);
  cmd1 = button("cmd1", QStringLiteral("第一页"), 960);
  cmd2 = button("cmd2", QStringLiteral("第二页"), 3000);
  setTabOrder(cmdok, cmd1);
  setTabOrder(cmd1, cmd2);

  connect(cmdok, &QPushButton::clicked, this, &frmhelp::cmdok_Click);
  connect(cmd1, &QPushButton::clicked, this, &frmhelp::cmd1_Click);
  connect(cmd2, &QPushButton::clicked, this, &frmhelp::cmd2_Click);
}

void frmhelp::cmdok_Click() { close(); }

// Page 1 is the label's first text, so a new window is the way back to it.
void frmhelp::cmd1_Click() {
  auto* fresh = new frmhelp;
  Q_EMIT replaced(fresh);
  close();
  fresh->show();
}

void frmhelp::cmd2_Click() { Label1->setText(page2()); }
