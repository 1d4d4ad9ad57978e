// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once
#include <QMainWindow>
#include <QPixmap>
#include <QPointer>
#include <QSize>
#include <QStringList>
#include <functional>
#include <memory>

#include "app/auto_size.h"
#include "app/common_dialog.h"
#include "app/platform.h"
#include "base/basic.h"

class QAction;
class QLabel;
class QListWidget;
class QMenu;
class QPushButton;
class MediaControl;
class RangeScrollBar;
class clsVolume;
class Dialog;
class frmAbout;
class frmhelp;

// The client area: the background picture at its own size from the top-left
// corner, the controls on top of it.
class BackgroundArea : public QWidget {
  Q_OBJECT
 public:
  using QWidget::QWidget;
  void setPicture(const QPixmap& p);
  const QPixmap& picture() const { return picture_; }

 Q_SIGNALS:
  void resized();

 protected:
  void paintEvent(QPaintEvent* event) override;
  void resizeEvent(QResizeEvent* event) override;

 private:
  QPixmap picture_;
};

// The player's main window. Its controls are rebuilt at every load (start
// and reload); the playback state members keep their values across reloads.
// Handlers are defined in the file of the subsystem they belong to.
class frmcd : public QMainWindow {
  Q_OBJECT
 public:
  static inline const QString kTitle = QStringLiteral("Savrel超级播放器");
  static inline const QString kApp = QStringLiteral("mirova");
  static constexpr QSize kDesignClient{225, 133};  // 3375 x 1995 twips

  explicit frmcd(Platform& platform, QWidget* parent = nullptr);
  ~frmcd() override;

  // Runs the load and shows the window. Ends the program (through
  // ProgramExit) when another copy runs.
  void start();
  // Closes the window and shows it again: unload, fresh controls, load.
  void reload();

  // Outer frame geometry in twips, as the settings store keeps it.
  double Width() const;
  double Height() const;
  double Top() const;
  double Left() const;
  void setWidth(double tw);
  void setHeight(double tw);
  void setTop(double tw);
  void setLeft(double tw);

  Platform& platform() { return platform_; }
  // A file of the program folder ("bg.bmp" lies beside the program).
  QString programFile(const QString& name) const;
  QPixmap picture() const;

  // Window-level state.
  double step_time = 0.0;
  QString multidir;
  basic::Flag seekskip = basic::kFalse;
  QString bgpath;
  basic::Flag listmode = basic::kFalse;
  basic::Flag multimode = basic::kFalse;
  QStringList filelist;
  qint16 listcount = 0;
  qint16 curfile = 0;
  QString vcddrive;
  double playtime = 0.0;
  qint16 timemin = 0;
  qint16 timesec = 0;
  QString cdposbuf;
  std::unique_ptr<clsVolume> volume;

  // Controls, recreated at every load.
  BackgroundArea* area = nullptr;
  QPushButton* cdload = nullptr;
  QPushButton* vcdload = nullptr;
  QPushButton* cmd_scr = nullptr;
  QLabel* lblindicator = nullptr;
  QLabel* lbltrack = nullptr;
  QLabel* lbltime = nullptr;
  QLabel* piccopy = nullptr;
  RangeScrollBar* vsVolume = nullptr;
  QListWidget* lsttrack = nullptr;
  RangeScrollBar* HScroll1 = nullptr;
  MediaControl* mcicdplayer = nullptr;
  std::unique_ptr<CommonDialog> vcddialog;
  std::unique_ptr<CommonDialog> bjdialog;
  AutoSize FSAutoSize1;

  // The auxiliary windows, at most one of each.
  QPointer<Dialog> captureNotice;
  QPointer<frmAbout> aboutWindow;
  QPointer<frmhelp> helpWindow;

  // Menu items, by their names.
  QAction* action(const QString& name) const;

  // Start-up and shut-down.
  void Form_Load();
  void Form_Unload();
  void Form_Resize();
  void exit_Click();
  void exitbutcd_Click();

  // Display switches and layout reset.
  void switch_cd_Click();
  void switch_vcd_Click();
  void switch_cam_Click();
  void switch_play_Click();
  void switch_track_Click();
  void switch_time_Click();
  void switch_list_Click();
  void switch_hsb_Click();
  void switch_allon_Click();
  void switch_alloff_Click();
  void reset_Click();

  // Playback (CD, VCD, single file, playlist, transport and status).
  void cdload_Click();
  void menu_cd_Click();
  void vcdload_Click();
  void menu_vcd_Click();
  void menu_multi_Click();
  void playfile();
  void readmulti();
  // Paths from outside the window (the command line, a later copy, the
  // desktop): one file plays as if chosen in the single-file dialog; a
  // folder, or several paths, play as a list handed over by the playlist
  // window, in the order given. A disc's mount point plays nothing: that is
  // the desktop starting the player for an inserted disc.
  void openPaths(const QStringList& paths);
  // The single-file dialog's steps for a file chosen elsewhere.
  void openFile(const QString& path);
  // Runs a handler whose errors nothing else traps: a message tells the
  // user and the window stays usable. A cancelled dialog is no error.
  void runReported(const std::function<void()>& handler);
  void lsttrack_DblClick();
  void HScroll1_Scroll();
  void mcicdplayer_BackClick();
  void mcicdplayer_PlayClick();
  void mcicdplayer_PauseClick();
  void mcicdplayer_StepClick();
  void mcicdplayer_StopClick();
  void mcicdplayer_EjectClick();
  void mcicdplayer_NextClick();
  void mcicdplayer_PrevClick();
  void mcicdplayer_StatusUpdate();
  void mcicdplayer_PlaybackError(const QString& message);

  // Capture notice, capture and background.
  void menu_scr_Click();
  void cmd_scr_Click();
  void bjfile_Click();

  // About and help.
  void about_Click();
  void help_Click();

  // Volume.
  void setupVolume();
  void vsVolume_Change();
  void vsVolume_Scroll();
  void vol_Click();

  // Lamp colours.
  void setIndicator(bool playing);

 protected:
  void closeEvent(QCloseEvent* event) override;
  void moveEvent(QMoveEvent* event) override;
  void resizeEvent(QResizeEvent* event) override;

 private:
  void buildMenus();
  void buildControls();
  // Each subsystem connects its own handlers to the fresh controls.
  void wireApp();
  void wirePlayback();
  void wireCd();
  void wirePlaylist();
  void wireVcd();
  void failLoad(const QString& message);  // the VCD set-up's failure path
  void wireVolume();
  void wirePictures();
  void wireDialogs();
  bool loadBackground(const QString& path);
  void toggleGroup(QWidget* control, const QString& key);
  void writeKj(const QString& key, const QString& value);
  void fitFrame();

  Platform& platform_;
  QHash<QString, QAction*> actions_;
  bool unloaded_ = false;
  QSize wantFrame_;  // frame size asked for before the window manager's frame was known
};
