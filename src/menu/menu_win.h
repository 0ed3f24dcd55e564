#pragma once
// The menu start-up: settings, sections, single-instance guard and the main menu. Returns the
// entry's result.
int RunMenuStartup();
