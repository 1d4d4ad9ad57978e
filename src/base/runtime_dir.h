// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once
#include <QString>

namespace runtime {

// A folder only this user can enter, for sockets and locks: <base>/<name>,
// where base is $XDG_RUNTIME_DIR when it is set to a folder of ours, else
// /tmp/mirova-<uid>. Each folder made here is made 0700; an existing one
// must be a real folder (not a link) owned by this user, and is narrowed to
// 0700 when it is wider. Returns an empty string when no such folder can be
// had (a read-only base, a fallback folder owned by someone else), so the
// caller decides what to do without one.
QString privateFolder(const QString& name);

// The same check for a given folder, made if missing; exposed for tests.
bool ensurePrivate(const QString& path);

}  // namespace runtime
