// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once
#include <QString>

class QWidget;

// Modal message box with an OK button only. show() returns when the user
// has closed the box; the title is the caller's (the application title
// unless the caller has its own).
class MessageBoxes {
 public:
  enum class Icon { None, Stop };
  virtual ~MessageBoxes() = default;
  virtual void show(const QString& text, const QString& title, Icon icon = Icon::None) = 0;
};

class QtMessageBoxes final : public MessageBoxes {
 public:
  void show(const QString& text, const QString& title, Icon icon) override;
};
