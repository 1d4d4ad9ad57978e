// SPDX-License-Identifier: GPL-3.0-or-later
#include "app/frmcd.h"

#include <QAction>
#include <QLabel>
#include <QListWidget>
#include <QMenuBar>
#include <QPainter>
#include <QPushButton>

#include "app/settings_store.h"
#include "core/picture_loader.h"
#include "core/range_scrollbar.h"
#include "core/twips.h"
#include "playback/media_control.h"
#include "volume/cls_volume.h"

void BackgroundArea::setPicture(const QPixmap& p) {
  picture_ = p;
  update();
}

void BackgroundArea::paintEvent(QPaintEvent*) {
  if (picture_.isNull()) return;
  QPainter painter(this);
  painter.drawPixmap(0, 0, picture_);  // own size, neither stretched nor tiled
}

void BackgroundArea::resizeEvent(QResizeEvent*) { Q_EMIT resized(); }

static void initArtwork() { Q_INIT_RESOURCE(artwork); }

frmcd::frmcd(Platform& platform, QWidget* parent) : QMainWindow(parent), platform_(platform) {
  initArtwork();
  setObjectName(QStringLiteral("frmcd"));
  setWindowTitle(kTitle);
  setWindowIcon(QIcon(QStringLiteral(":/mirova/icon.png")));
  // Sizable, minimise button, no maximise button.
  setWindowFlags(Qt::Window | Qt::WindowTitleHint | Qt::WindowSystemMenuHint | Qt::WindowMinimizeButtonHint |
                 Qt::WindowCloseButtonHint);
  buildMenus();
  buildControls();
  // The layout's client area below the menu bar.
  resize(kDesignClient.width(), kDesignClient.height() + menuBar()->sizeHint().height());
}

frmcd::~frmcd() = default;

QAction* frmcd::action(const QString& name) const { return actions_.value(name); }

void frmcd::buildMenus() {
  struct Item {
    int depth;
    const char* name;
    const char* caption;  // nullptr: separator
  };
  static const Item items[] = {
      {0, "device", "文件(&F)"},
      {1, "menu_cd", "播放 CD (&C)"},
      {1, "menu_files", "打开VCD WAV MIDI MP3等文件(&V)"},
      {2, "menu_vcd", "选择单个文件(&S)"},
      {2, "menu_multi", "选择多个文件(&M)"},
      {1, "menu_scr", "屏幕截图(&S)"},
      {1, "a", nullptr},
      {1, "exitbutcd", "退出，但不停止CD音乐(&B)"},
      {1, "exit", "退出(&X)"},
      {0, "option", "选项(&O)"},
      {1, "background", "设置背景(&B)"},
      {2, "bjfile", "选择背景图片(&P)"},
      {2, "kj", "设置背景控件(&K)"},
      {3, "switch_cd", "CD按钮开/关(&C)"},
      {3, "switch_vcd", "VCD按钮开/关(&V)"},
      {3, "switch_cam", "截图按钮开/关(&P)"},
      {3, "switch_play", "播放指示灯开/关(&d)"},
      {3, "switch_track", "当前曲目指示器开/关(&Q)"},
      {3, "switch_time", "播放时间指示器开/关(&T)"},
      {3, "switch_list", "曲目列表开/关(&L)"},
      {3, "switch_hsb", "滚动控制条开/关(&S)"},
      {3, "d", nullptr},
      {3, "switch_allon", "控件复位(&R)"},
      {3, "switch_alloff", "控件全关(&G)"},
      {2, "c", nullptr},
      {2, "reset", "背景复位(&R)"},
      {1, "vol", "设置音量(&V)"},
      {0, "help_menu", "帮助(&H)"},
      {1, "help", "帮助(&H)"},
      {1, "b", nullptr},
      {1, "about", "关于(&A)"},
  };
  QMenu* parents[4] = {};
  const int n = int(std::size(items));
  for (int i = 0; i < n; ++i) {
    const Item& it = items[i];
    const QString name = QLatin1String(it.name);
    const bool hasChildren = i + 1 < n && items[i + 1].depth > it.depth;
    QAction* act = nullptr;
    if (it.depth == 0) {
      parents[0] = menuBar()->addMenu(QString::fromUtf8(it.caption));
      parents[0]->setObjectName(name);
      act = parents[0]->menuAction();
    } else if (!it.caption) {
      act = parents[it.depth - 1]->addSeparator();
    } else if (hasChildren) {
      parents[it.depth] = parents[it.depth - 1]->addMenu(QString::fromUtf8(it.caption));
      parents[it.depth]->setObjectName(name);
      act = parents[it.depth]->menuAction();
    } else {
      act = parents[it.depth - 1]->addAction(QString::fromUtf8(it.caption));
    }
    act->setObjectName(name);
    actions_.insert(name, act);
  }
  auto on = [this](const char* name, void (frmcd::*handler)()) {
    connect(actions_.value(QLatin1String(name)), &QAction::triggered, this, [this, handler] { (this->*handler)(); });
  };
  on("exit", &frmcd::exit_Click);
  on("exitbutcd", &frmcd::exitbutcd_Click);
  on("menu_cd", &frmcd::menu_cd_Click);
  on("menu_scr", &frmcd::menu_scr_Click);
  on("switch_cd", &frmcd::switch_cd_Click);
  on("switch_vcd", &frmcd::switch_vcd_Click);
  on("switch_cam", &frmcd::switch_cam_Click);
  on("switch_play", &frmcd::switch_play_Click);
  on("switch_track", &frmcd::switch_track_Click);
  on("switch_time", &frmcd::switch_time_Click);
  on("switch_list", &frmcd::switch_list_Click);
  on("switch_hsb", &frmcd::switch_hsb_Click);
  on("switch_allon", &frmcd::switch_allon_Click);
  on("switch_alloff", &frmcd::switch_alloff_Click);
  on("reset", &frmcd::reset_Click);
  on("vol", &frmcd::vol_Click);
}

void frmcd::buildControls() {
  // A reload may come from a click on one of the old controls: let it finish
  // before the old client area goes.
  if (QWidget* old = takeCentralWidget()) {
    old->hide();
    old->deleteLater();
  }
  area = new BackgroundArea(this);
  area->setObjectName(QStringLiteral("area"));
  area->resize(kDesignClient);
  setCentralWidget(area);

  using twips::place;
  cdload = new QPushButton(QStringLiteral("CD"), area);
  place(cdload, "cdload", "搜索CD唱片", 120, 120, 420, 260);
  vcdload = new QPushButton(QStringLiteral("VCD"), area);
  place(vcdload, "vcdload", "自动播放VCD", 120, 600, 420, 260);
  cmd_scr = new QPushButton(area);
  place(cmd_scr, "cmd_scr", "截图", 120, 1080, 420, 250);
  cmd_scr->setIcon(QIcon(QStringLiteral(":/mirova/cmd_scr.bmp")));
  cmd_scr->setIconSize(QSize(29, 20));
  cmd_scr->hide();

  lblindicator = new QLabel(area);
  place(lblindicator, "lblindicator", "播放/停止指示灯", 840, 195, 135, 135);
  lblindicator->setAutoFillBackground(true);
  setIndicator(false);

  auto colouredLabel = [](QLabel* l, const QColor& bg) {
    QPalette p = l->palette();
    p.setColor(QPalette::Window, bg);
    p.setColor(QPalette::WindowText, Qt::black);
    l->setPalette(p);
    l->setAutoFillBackground(true);
  };
  lbltrack = new QLabel(QStringLiteral("0"), area);
  place(lbltrack, "lbltrack", "当前曲目/文件", 1200, 120, 150, 240);
  colouredLabel(lbltrack, palette().color(QPalette::Base));
  lbltime = new QLabel(QStringLiteral("00:00"), area);
  place(lbltime, "lbltime", "当前播放时间", 1560, 120, 510, 240);
  colouredLabel(lbltime, palette().color(QPalette::HighlightedText));

  piccopy = new QLabel(area);
  place(piccopy, "piccopy", nullptr, 1920, 480, 375, 495);
  piccopy->hide();

  vsVolume = new RangeScrollBar(Qt::Vertical, area);
  place(vsVolume, "vsVolume", nullptr, 2250, 240, 90, 1200);

  lsttrack = new QListWidget(area);
  place(lsttrack, "lsttrack", "曲目/文件列表", 2400, 0, 975, 1680);
  {
    QPalette p = lsttrack->palette();
    p.setColor(QPalette::Base, palette().color(QPalette::Button));  // the menu colour
    lsttrack->setPalette(p);
  }

  HScroll1 = new RangeScrollBar(Qt::Horizontal, area);
  place(HScroll1, "HScroll1", nullptr, 0, 1540, 2415, 90);
  HScroll1->setEnabled(false);

  mcicdplayer = new MediaControl(platform_.media, area);
  place(mcicdplayer, "mcicdplayer", "控制键", -15, 1620, 3400, 390);

  vcddialog = std::make_unique<CommonDialog>(platform_.filePicker, QStringLiteral("请选择多媒体文件"));
  bjdialog = std::make_unique<CommonDialog>(platform_.filePicker, QStringLiteral("请选择背景图片"));

  connect(area, &BackgroundArea::resized, this, &frmcd::Form_Resize);
  wireApp();
  wirePlayback();
  wireCd();
  wirePlaylist();
  wireVcd();
  wireVolume();
  wirePictures();
  wireDialogs();
}

void frmcd::wireApp() {}

void frmcd::setIndicator(bool playing) {
  QPalette p = lblindicator->palette();
  p.setColor(QPalette::Window, playing ? QColor(0xFF, 0x00, 0x00) : QColor(0x40, 0x40, 0x40));
  lblindicator->setPalette(p);
}

QString frmcd::programFile(const QString& name) const {
  const QString& folder = platform_.programFolder;
  return folder.endsWith(QLatin1Char('/')) ? folder + name : folder + QLatin1Char('/') + name;
}

QPixmap frmcd::picture() const { return area ? area->picture() : QPixmap(); }

bool frmcd::loadBackground(const QString& path) {
  try {
    area->setPicture(platform_.pictures.load(path));
    return true;
  } catch (const basic::Error&) {
    return false;
  }
}
