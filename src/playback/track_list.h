#pragma once
class QListWidget;

// Selecting a row the list does not have is an error (basic::Error), as with
// the list control the handlers were written for: the CD set-up relies on it
// to notice a disc without tracks, the status tick to notice a list that has
// been emptied under it.
void selectRow(QListWidget& list, int row);
