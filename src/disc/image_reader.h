// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once
#include <QString>
#include <QStringList>
#include <memory>

#include "disc/iso_files.h"

// A file of a disc image read by a child of the reading process, so that
// libcdio never reads an image there (see ImageProbe). The child is
// "program --read IMAGE LSN SECTORS SIZE FORM2", on a socket for stdin and
// stdout: it answers each request "OFFSET LENGTH\n" with an 8-byte length
// in the machine's order (-1: the disc cannot be read there) and as many
// bytes, and ends when the socket closes.
namespace disc {

// Null when the child cannot be started. A child that does not answer
// within `timeoutMs`, or that ended, fails that read and every later one.
std::unique_ptr<PayloadReader> childFileReader(const QString& program, const QString& image, const FileEntry& file,
                                               int timeoutMs);

// The child's side: `args` are IMAGE LSN SECTORS SIZE FORM2. The exit status.
int serveFile(const QStringList& args);

}  // namespace disc
