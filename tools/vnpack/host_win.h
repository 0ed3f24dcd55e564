#pragma once
// The Windows side of the tool's console: what host_win.cpp adds to host.h for main_win.cpp.

// Makes stdout and stderr carry the bytes the Linux tool writes (UTF-8, "\n" line ends). A stream on
// a console is relayed through WriteConsoleW instead, so the console shows the text whatever its
// code page; the relay is drained when the process exits.
void StartHostConsole();
