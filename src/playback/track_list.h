// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once
#include <QString>

class MediaControl;
class QListWidget;

// Selecting a row the list does not have is an error (basic::Error), as with
// the list control the handlers were written for: the CD set-up relies on it
// to notice a disc without tracks, the status tick to notice a list that has
// been emptied under it.
void selectRow(QListWidget& list, int row);

// A CD's rows follow the disc's own track numbers, which need not start at
// 1 (an image cut from a larger disc): row k is track FirstTrack + k, for
// the rows, the double-click, the track label and the selection alike.
int cdTrackOfRow(const MediaControl& m, int row);
int cdRowOfTrack(const MediaControl& m, int track);

// The message for a drive this user may not read, naming its node and the
// group that may.
QString noPermissionText(const QString& node);
