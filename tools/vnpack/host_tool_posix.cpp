// The Linux side of what signing needs: temporary files, replacing a file, running a program.
#include <fcntl.h>
#include <sys/stat.h>
#include <sys/wait.h>
#include <unistd.h>

#include <cerrno>
#include <cstdlib>

#include "common/str_util.h"
#include "vnpack/host.h"

static FILE* OpenTemplate(char* tmp) {
    int fd = mkstemp(tmp);  // mode 0600
    if (fd < 0) return nullptr;
    FILE* f = fdopen(fd, "w+b");
    if (!f) {
        close(fd);
        unlink(tmp);
    }
    return f;
}

FILE* CreateHostFileBeside(const char* path, char* tmp, size_t tmpSize) {
    if (FormatStr(tmp, tmpSize, "%s.vnsign-XXXXXX", path) != 0) return nullptr;
    return OpenTemplate(tmp);
}

FILE* CreateHostTempFile(char* path, size_t pathSize) {
    const char* dir = getenv("TMPDIR");
    if (FormatStr(path, pathSize, "%s/vnpack-XXXXXX", dir && *dir ? dir : "/tmp") != 0) return nullptr;
    return OpenTemplate(path);
}

int ReplaceHostFile(const char* from, const char* to) {
    struct stat st;
    if (stat(to, &st) != 0 || chmod(from, st.st_mode & 07777) != 0) return -1;
    return rename(from, to);
}

int RunHostProgram(const char* const* argv, FILE* out, bool quiet) {
    if (out) fflush(out);
    fflush(stdout);
    fflush(stderr);
    pid_t pid = fork();
    if (pid < 0) return -1;
    if (pid == 0) {
        int fd = out ? fileno(out) : open("/dev/null", O_WRONLY);
        if (fd >= 0) {
            dup2(fd, STDOUT_FILENO);
            if (quiet) dup2(fd, STDERR_FILENO);
        }
        execvp(argv[0], const_cast<char* const*>(argv));
        _exit(kHostProgramMissing);
    }
    int status;
    while (waitpid(pid, &status, 0) < 0) {
        if (errno != EINTR) return -1;
    }
    return WIFEXITED(status) ? WEXITSTATUS(status) : -1;
}
