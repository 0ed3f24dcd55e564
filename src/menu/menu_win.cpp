#include "menu/menu_win.h"

// The menu arrives in its own change; until then the program ends after its start-up.
int RunMenuStartup() { return 0; }
