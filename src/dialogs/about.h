// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once
#include <QDialog>
#include <QLabel>

class Launcher;
class MessageBoxes;
class QPushButton;

// A wrapping label whose text separates paragraphs by runs of blanks rather
// than line breaks. A run of seven or more blanks starts a new line, as it
// did with the metrics these texts were first laid out for; text() keeps
// the blanks.
class ParagraphLabel : public QLabel {
  Q_OBJECT
 public:
  static constexpr int kBreakingRun = 7;
  explicit ParagraphLabel(QWidget* parent = nullptr);
  // The text as drawn: every breaking run turned into a line break.
  static QString displayText(const QString& text);

 protected:
  void paintEvent(QPaintEvent* event) override;
};

// The About window: name, version, description, disclaimer, and a button
// that starts the desktop's system information viewer. Modeless, a window
// of its own (it stays when the main window closes) and gone once closed.
class frmAbout : public QDialog {
  Q_OBJECT
 public:
  frmAbout(Launcher& launcher, MessageBoxes& messages);

  QPushButton* cmdOK = nullptr;
  QLabel* picIcon = nullptr;
  QPushButton* cmdSysInfo = nullptr;
  ParagraphLabel* lblDescription = nullptr;
  ParagraphLabel* lblDisclaimer = nullptr;
  QLabel* lblTitle = nullptr;
  QLabel* lblVersion = nullptr;

  void Form_Load();
  void cmdOK_Click();
  void cmdSysInfo_Click();
  void StartSysInfo();

 protected:
  void keyPressEvent(QKeyEvent* event) override;

 private:
  Launcher& launcher_;
  MessageBoxes& messages_;
};
