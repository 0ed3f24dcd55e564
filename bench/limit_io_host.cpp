// The native side writes the CP932 names as UTF-8, the way the tree was made.
#include <fcntl.h>
#include <iconv.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cstdio>
#include <cstring>
#include <ctime>

#include "limit_io.h"

static int Join(const char* dest, const char* name, char* path, size_t size) {
    char utf8[1024];
    iconv_t cd = iconv_open("UTF-8", "CP932");
    if (cd == reinterpret_cast<iconv_t>(-1)) return -1;
    char* in = const_cast<char*>(name);
    size_t inLeft = strlen(name);
    char* out = utf8;
    size_t outLeft = sizeof utf8 - 1;
    size_t rc = iconv(cd, &in, &inLeft, &out, &outLeft);
    iconv_close(cd);
    if (rc == static_cast<size_t>(-1)) return -1;
    *out = '\0';
    for (char* p = utf8; *p; ++p) {
        if (*p == '\\') *p = '/';
    }
    int n = snprintf(path, size, "%s/%s", dest, utf8);
    return n > 0 && static_cast<size_t>(n) < size ? 0 : -1;
}

void* CreateLimitFile(const char* dest, const char* name) {
    char path[2048];
    if (Join(dest, name, path, sizeof path) != 0) return nullptr;
    int fd = open(path, O_WRONLY | O_CREAT | O_TRUNC, 0644);
    return fd < 0 ? nullptr : reinterpret_cast<void*>(static_cast<intptr_t>(fd) + 1);
}

static int Fd(void* file) { return static_cast<int>(reinterpret_cast<intptr_t>(file) - 1); }

int WriteLimitFile(void* file, const void* bytes, size_t n) {
    return write(Fd(file), bytes, n) == static_cast<ssize_t>(n) ? 0 : -1;
}

int CloseLimitFile(void* file, uint64_t fileTime) {
    const uint64_t kUnixEpoch = 116444736000000000ull;  // 1970-01-01 as a FILETIME
    struct timespec times[2];
    uint64_t since = fileTime - kUnixEpoch;
    times[0].tv_sec = 0;
    times[0].tv_nsec = UTIME_OMIT;
    times[1].tv_sec = static_cast<time_t>(since / 10000000);
    times[1].tv_nsec = static_cast<long>(since % 10000000 * 100);
    int rc = futimens(Fd(file), times);
    return close(Fd(file)) == 0 && rc == 0 ? 0 : -1;
}

void CreateLimitDir(const char* dest, const char* name) {
    char path[2048];
    if (Join(dest, name, path, sizeof path) == 0) mkdir(path, 0755);
}
