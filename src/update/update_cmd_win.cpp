#include "update/update_cmd_win.h"

// Until the update command is in place the button refuses, and the menu stays open.
int RunUpdate() { return -1; }
