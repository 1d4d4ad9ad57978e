// The main window's About and help commands.
#include "app/frmcd.h"

void frmcd::wireDialogs() {}
