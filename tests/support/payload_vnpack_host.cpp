#include "support/payload_vnpack.h"

#include <gtest/gtest.h>
#include <sys/stat.h>

#include <cstdio>

VerbRun BuildTestTree(int (*build)(int, char**), const TempDir& t, const std::string& out,
                      const std::vector<std::string>& extra) {
    std::string stub = t.path + "/stub.exe";
    WriteFile(stub, "MZ-stub");
    std::vector<std::string> args = {t.path + "/in", "-o", t.path + "/" + out, "--stub", stub};
    args.insert(args.end(), extra.begin(), extra.end());
    return RunVerb(build, args);
}

bool TestPathExists(const std::string& path) {
    struct stat st;
    return stat(path.c_str(), &st) == 0;
}

int64_t GetTestFileTime(const std::string& path) {
    struct stat st;
    if (stat(path.c_str(), &st) != 0) return -1;
    return static_cast<int64_t>(st.st_mtim.tv_sec) * 1000000000 + st.st_mtim.tv_nsec;
}
