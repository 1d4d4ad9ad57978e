// SPDX-License-Identifier: GPL-3.0-or-later
#include "disc/image_files.h"

#include <QFileInfo>
#include <cstring>
#include <utility>

namespace disc {

namespace {

// libcdio reads descriptions with fgets() into buffers of these sizes.
constexpr int kCueLine = 4096;
constexpr int kTocLine = 512;

// The lines fgets() returns, each as the C string libcdio's parser sees:
// up to its first NUL, at most `lineSize` - 1 bytes, the '\n' kept.
QList<QByteArray> readLines(const QByteArray& text, int lineSize) {
  QList<QByteArray> lines;
  for (qsizetype at = 0; at < text.size();) {
    qsizetype end = text.indexOf('\n', at);
    end = end < 0 ? text.size() : end + 1;
    end = std::min(end, at + lineSize - 1);
    QByteArray line = text.mid(at, end - at);
    const qsizetype nul = line.indexOf('\0');
    if (nul >= 0) line.truncate(nul);
    lines << line;
    at = end;
  }
  return lines;
}

// strtok() over one line: each call skips the separators given, then takes
// the word up to the next one, which it consumes.
class Words {
 public:
  explicit Words(const QByteArray& line) : line_(line) {}
  std::optional<std::pair<int, int>> next(const char* separators) {
    const auto separates = [separators](char c) { return c != '\0' && std::strchr(separators, c) != nullptr; };
    int from = at_;
    while (from < line_.size() && separates(line_[from])) ++from;
    if (from >= line_.size()) {
      at_ = int(line_.size());
      return std::nullopt;
    }
    int to = from;
    while (to < line_.size() && !separates(line_[to])) ++to;
    at_ = to < line_.size() ? to + 1 : to;
    return std::pair(from, to);
  }

 private:
  const QByteArray& line_;
  int at_ = 0;
};

const char* const kBlank = " \t\n\r";
const char* const kQuoted = "\"\t\n\r";

}  // namespace

ImageKind imageKind(const QString& path) {
  const QString suffix = QFileInfo(path).suffix().toLower();
  if (suffix == QLatin1String("cue")) return ImageKind::Cue;
  if (suffix == QLatin1String("toc")) return ImageKind::Toc;
  if (suffix == QLatin1String("nrg")) return ImageKind::Nrg;
  return ImageKind::NotImage;
}

std::optional<ImageFiles> ImageFiles::read(const QByteArray& image, ImageKind kind, const QByteArray& text) {
  if (text.size() > kMaxBytes) return std::nullopt;
  ImageFiles f;
  f.kind_ = kind;
  // Relative names as libcdio makes them absolute: the description's folder, a separator, the name.
  const QByteArray folder = image.left(image.lastIndexOf('/'));
  const auto add = [&f, &folder](const QByteArray& name) {
    f.files_ << (name.startsWith('/') ? name : folder + '/' + name);
    return f.files_.size() <= kMaxFiles;
  };
  if (kind == ImageKind::Cue) {
    const QByteArray tail = image.right(3);
    if (tail != "cue" && tail != "CUE") return std::nullopt;
    if (!add(image.chopped(3) + (tail == "cue" ? "bin" : "BIN"))) return std::nullopt;
    bool newSession = false;  // a "REM SESSION" line waits for its first track
    for (const QByteArray& line : readLines(text, kCueLine)) {
      Words words(line);
      const auto keyword = words.next(kBlank);
      if (!keyword) continue;
      const QByteArray key = line.mid(keyword->first, keyword->second - keyword->first);
      const auto word = [&line, &words] {
        const auto w = words.next(kBlank);
        return w ? line.mid(w->first, w->second - w->first) : QByteArray();
      };
      if (key == "REM" && word() == "SESSION") newSession = word().toInt() > 1;
      if (key == "TRACK" && newSession) {
        f.lastSessionTrack_ = word().toInt();
        newSession = false;
      }
      if (key != "FILE" && key != "CDTEXTFILE") continue;
      if (const auto name = words.next(kQuoted))
        if (!add(line.mid(name->first, name->second - name->first))) return std::nullopt;
    }
  } else if (kind == ImageKind::Toc) {
    for (QByteArray line : readLines(text, kTocLine)) {
      if (line.endsWith('\n')) line.chop(1);
      const qsizetype comment = line.indexOf("//");
      if (comment >= 0) line.truncate(comment);
      f.lines_ << line;
      Words words(line);
      const auto keyword = words.next(kBlank);
      if (!keyword) continue;
      const QByteArray key = line.mid(keyword->first, keyword->second - keyword->first);
      if (key != "FILE" && key != "AUDIOFILE" && key != "DATAFILE") continue;
      if (const auto name = words.next(kQuoted)) {
        f.names_.append({int(f.lines_.size() - 1), name->first, name->second});
        if (!add(line.mid(name->first, name->second - name->first))) return std::nullopt;
      }
    }
  }
  return f;
}

std::optional<QByteArray> ImageFiles::rewrittenToc(const QList<QByteArray>& names) const {
  if (kind_ != ImageKind::Toc || names.size() != names_.size()) return std::nullopt;
  QList<QByteArray> lines = lines_;
  for (qsizetype i = 0; i < names_.size(); ++i) {  // at most one name a line
    const Name& n = names_[i];
    lines[n.line].replace(n.from, n.to - n.from, names[i]);
    if (lines[n.line].size() > kTocLine - 2) return std::nullopt;
  }
  QByteArray out;
  for (const QByteArray& line : lines) out += line + '\n';
  return out;
}

}  // namespace disc
