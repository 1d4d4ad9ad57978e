// Single files and file lists on the main window.
#include "app/frmcd.h"

void frmcd::wirePlayback() {}
