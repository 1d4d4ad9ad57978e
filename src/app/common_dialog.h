// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once
#include <QString>
#include <QStringList>
#include <optional>

class QWidget;

// Shows the platform's file chooser. Answers the chosen full path, or
// nothing when the user cancelled.
class FilePicker {
 public:
  enum class Mode { Open, Save };
  struct Request {
    Mode mode = Mode::Open;
    QString title;
    QString initialName;
    QStringList nameFilters;  // the chooser's entries, as it shows them
    int selectedFilter = 0;   // index into nameFilters
  };
  virtual ~FilePicker() = default;
  virtual std::optional<QString> pick(const Request& request) = 0;
};

class QtFilePicker final : public FilePicker {
 public:
  explicit QtFilePicker(QWidget* parent = nullptr) : parent_(parent) {}
  std::optional<QString> pick(const Request& request) override;

 private:
  QWidget* parent_;
};

// The common file dialog as the main window uses it: properties that keep
// their values between uses. A cancel leaves FileName as it was, or raises
// basic::Error 32755 when CancelError is set.
class CommonDialog {
 public:
  CommonDialog(FilePicker& picker, QString layoutTitle) : picker_(picker), title_(std::move(layoutTitle)) {}

  QString FileName() const { return fileName_; }
  void setFileName(const QString& v) { fileName_ = v; }
  QString DialogTitle() const { return title_; }
  void setDialogTitle(const QString& v) { title_ = v; }
  QString Filter() const { return filter_; }
  void setFilter(const QString& v) { filter_ = v; }
  int FilterIndex() const { return filterIndex_; }
  void setFilterIndex(int v) { filterIndex_ = v; }
  bool CancelError() const { return cancelError_; }
  void setCancelError(bool v) { cancelError_ = v; }

  void ShowOpen() { show(FilePicker::Mode::Open); }
  void ShowSave() { show(FilePicker::Mode::Save); }

  // "desc|pattern|desc|pattern|" to the chooser's "desc (pattern)" entries;
  // a description that ends in "(pattern)" stays as it is. A pattern list
  // separated by ';' becomes blank-separated.
  static QStringList nameFilters(const QString& filter);

 private:
  void show(FilePicker::Mode mode);

  FilePicker& picker_;
  QString fileName_;
  QString title_;
  QString filter_;
  int filterIndex_ = 0;
  bool cancelError_ = false;
};
