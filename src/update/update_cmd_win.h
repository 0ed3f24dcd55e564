#pragma once
// The update command behind the main menu's Update button.

// Finds and confirms the installed game, extracts the update into it, writes the [ini] and [reg]
// lines and offers to start the game. Returns 0 when the update ran to its end (the menu closes),
// -1 when it was refused before anything was written (the menu stays open).
int RunUpdate();
