#pragma once
// The private work folder under the user's temporary folder, and the one file search at a time
// that empties it.

// Records the current folder as the start folder, creates a new work folder and enters it. Two
// starts in the same millisecond must not share a folder: an existing name is never entered, the
// next tick values are tried instead. Returns 0, or -1 when no folder could be made (then there is
// no work folder and RemoveWorkFolder does nothing).
int CreateWorkFolder();

// The work folder's path (empty before CreateWorkFolder succeeded and after RemoveWorkFolder).
const char* GetWorkFolder();

// Returns to the start folder, deletes the files directly inside the work folder and removes it
// (only when it is empty: sub-folders and their contents stay).
void RemoveWorkFolder();

// Deletes every file (not folder) in folder matching pattern; the current folder is kept. Does
// nothing when folder cannot be entered.
void DeleteMatchingFiles(const char* folder, const char* pattern);

// Starts a search for pattern. Returns 0 when at least one entry exists, 1 otherwise.
int FindFirstMatch(const char* pattern);
// The next entry of the search that is not a folder, as the pattern's folder part plus the entry's
// name, or null at the end. The text stays valid until the next call.
const char* FindNextMatch();
