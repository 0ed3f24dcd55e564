#pragma once
// A temporary folder in memory behind the work folder's creation, for its unit tests.
#include <gtest/gtest.h>

#include <cstdint>
#include <set>
#include <string>
#include <vector>

#include "process/workdir.h"

// A temporary folder in which some names are taken; records every creation asked for.
struct FakeTemp {
    std::set<std::string> taken;
    std::vector<std::string> asked;
    int failAt = -1;  // the attempt that fails for another reason than a taken name
};

inline int CreateInFake(void* ctx, const char* path) {
    FakeTemp* t = static_cast<FakeTemp*>(ctx);
    t->asked.push_back(path);
    if (static_cast<int>(t->asked.size()) - 1 == t->failAt) return kFolderFailed;
    return t->taken.insert(path).second ? kFolderMade : kFolderTaken;
}

inline std::string Named(uint32_t ticks) {
    char name[64];
    EXPECT_EQ(FormatWorkFolderName(ticks, name, sizeof name), 0);
    return std::string("C:\\T\\") + name;
}

// Takes count names starting at ticks, as copies of the program started before would.
inline void TakeNames(FakeTemp* t, uint32_t ticks, int count) {
    for (int i = 0; i < count; ++i) t->taken.insert(Named(ticks + static_cast<uint32_t>(i)));
}
