#pragma once
// The CD-ROM drive behind the transfer's placeholders and drive search, counting what is asked of it,
// for the transfer's unit tests.
#include <string>
#include <vector>

#include "common/str_util.h"
#include "update/transfer.h"

// The game is in kFakeGameFolder (C:\Games\App); the CD-ROM drive is Q:\, and each time it is asked for counts.
inline int s_cdromAsks;
inline void FakeCdromRoot(char* root, size_t rootSize) {
    ++s_cdromAsks;
    CopyStr(root, rootSize, "Q:\\");
}

inline const char kFakeGameFolder[] = "C:\\Games\\App";
inline const PlaceholderValues kFakePlaceholders = {kFakeGameFolder, FakeCdromRoot};

// The drives whose letters are in s_cdroms are CD-ROM drives; every drive asked about is kept.
inline std::vector<std::string> s_drivesAsked;
inline std::string s_cdroms;
inline bool FakeIsCdrom(const char* root) {
    s_drivesAsked.push_back(root);
    return s_cdroms.find(root[0]) != std::string::npos;
}
