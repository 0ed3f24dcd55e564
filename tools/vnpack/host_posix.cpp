// The tool's host calls on Linux.
#include <dirent.h>
#include <fcntl.h>
#include <iconv.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cerrno>
#include <cstdlib>
#include <cstring>

#include "common/str_util.h"
#include "vnpack/cp932_text.h"
#include "vnpack/host.h"
#include "vnpack/pack_times.h"

int GetHostFileInfo(const char* path, bool follow, HostFileInfo* info) {
    struct stat st;
    if ((follow ? stat(path, &st) : lstat(path, &st)) != 0) return -1;
    info->isLink = S_ISLNK(st.st_mode);
    info->isDir = S_ISDIR(st.st_mode);
    info->isFile = S_ISREG(st.st_mode);
    info->size = static_cast<uint64_t>(st.st_size);
    info->time = GetFileTimeFromUnix(st.st_mtim.tv_sec, st.st_mtim.tv_nsec);
    return 0;
}

int GetHostRealPath(const char* path, char* dst, size_t dstSize) {
    char* real = realpath(path, nullptr);
    if (!real) return -1;
    int rc = CopyStr(dst, dstSize, real);
    free(real);
    if (rc != 0) errno = ENAMETOOLONG;
    return rc;
}

int ListHostFolder(const char* path, HostNameFn fn, void* ctx) {
    DIR* d = opendir(path);
    if (!d) return -1;
    int rc = 0;
    for (struct dirent* de = readdir(d); de && rc == 0; de = readdir(d)) {
        if (strcmp(de->d_name, ".") == 0 || strcmp(de->d_name, "..") == 0) continue;
        rc = fn(ctx, de->d_name);
    }
    closedir(d);
    return rc;
}

FILE* OpenHostFile(const char* path, const char* mode) { return fopen(path, mode); }

int SeekHostFile(FILE* f, uint64_t offset) { return fseeko(f, static_cast<off_t>(offset), SEEK_SET); }

int RemoveHostFile(const char* path) { return remove(path); }

int CreateHostFolder(const char* path) { return mkdir(path, 0777) == 0 || errno == EEXIST ? 0 : -1; }

int SetHostFileTime(const char* path, uint64_t fileTime) {
    struct timespec times[2];
    times[0].tv_sec = 0;
    times[0].tv_nsec = UTIME_OMIT;
    times[1] = GetUnixFromFileTime(fileTime);
    return utimensat(AT_FDCWD, path, times, 0);
}

char GetHostPathSep() { return '/'; }

bool IsHostTerminal(FILE* stream) { return isatty(fileno(stream)) != 0; }

int GetHostProcessorCount() {
    long n = sysconf(_SC_NPROCESSORS_ONLN);
    return n > 0 ? static_cast<int>(n) : 1;
}

int GetHostProgramDir(char* dst, size_t dstSize) {
    if (dstSize < 2) return -1;
    ssize_t n = readlink("/proc/self/exe", dst, dstSize - 1);
    if (n <= 0 || static_cast<size_t>(n) >= dstSize - 1) return -1;
    dst[n] = '\0';
    char* slash = strrchr(dst, '/');
    if (!slash) return -1;
    slash[slash == dst ? 1 : 0] = '\0';
    return 0;
}

// glibc's CP932 is the table of Windows' code page 932.
size_t ConvertCp932Char(const char* cp932, size_t len, char* utf8, size_t utf8Size) {
    static iconv_t s_cd = reinterpret_cast<iconv_t>(-1);
    if (s_cd == reinterpret_cast<iconv_t>(-1)) {
        s_cd = iconv_open("UTF-8", "CP932");
        if (s_cd == reinterpret_cast<iconv_t>(-1)) return 0;
    }
    char* inp = const_cast<char*>(cp932);
    char* outp = utf8;
    size_t outLeft = utf8Size;
    if (iconv(s_cd, &inp, &len, &outp, &outLeft) == static_cast<size_t>(-1) || len != 0) {
        iconv(s_cd, nullptr, nullptr, nullptr, nullptr);
        return 0;
    }
    return utf8Size - outLeft;
}

int ConvertUtf8ToCp932(const char* utf8, char* dst, size_t dstSize) {
    if (dstSize == 0) return -1;
    iconv_t cd = iconv_open("CP932", "UTF-8");
    if (cd == reinterpret_cast<iconv_t>(-1)) return -1;
    char* in = const_cast<char*>(utf8);
    size_t inLeft = strlen(utf8);
    char* out = dst;
    size_t outLeft = dstSize - 1;
    size_t n = iconv(cd, &in, &inLeft, &out, &outLeft);
    if (n != static_cast<size_t>(-1)) n = iconv(cd, nullptr, nullptr, &out, &outLeft);
    iconv_close(cd);
    *out = '\0';
    return n == static_cast<size_t>(-1) || inLeft != 0 ? -1 : 0;
}
