#pragma once
// The update command behind the menu's Update button.

// Finds the installation, extracts the update into it, writes the [ini] and [reg] lines and offers
// to start the game. Returns 0 when the update ran to its end (the menu then closes), -1 when it
// was refused before anything was written (the menu stays open), or the kRunFailed or kRunQuit of
// the extraction (the run ends).
int RunUpdate();
