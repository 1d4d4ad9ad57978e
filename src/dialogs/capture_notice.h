// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once
#include <QDialog>
#include <QPointer>

class Launcher;
class MessageBoxes;
class QLabel;
class QPushButton;

// The notice shown before the capture button is put on the main window.
// Modeless, a window of its own (it stays when the main window closes) and
// gone once closed: the next use makes a fresh one.
class Dialog : public QDialog {
  Q_OBJECT
 public:
  Dialog(Launcher& launcher, MessageBoxes& messages, QWidget* mainWindow);

  QPushButton* OKButton = nullptr;
  QLabel* Label1 = nullptr;
  QPushButton* Command1 = nullptr;

  void OKButton_Click();
  void Command1_Click();

 Q_SIGNALS:
  void showCaptureButton();

 private:
  Launcher& launcher_;
  MessageBoxes& messages_;
  QPointer<QWidget> mainWindow_;
};
