#include "vnpack/sign_tool.h"

#include <fcntl.h>
#include <sys/wait.h>
#include <unistd.h>

#include <cerrno>
#include <cstdlib>
#include <cstring>

#include "common/str_util.h"

static const int kNotRun = 127;  // the child's exit status when osslsigncode cannot be started

// Runs argv with stdout (and stderr when quiet) going to fd, or to /dev/null when fd is -1.
// Returns the exit status, kNotRun when it could not start, or -1.
static int RunTool(const char* const* argv, int fd, bool quiet) {
    pid_t pid = fork();
    if (pid < 0) return -1;
    if (pid == 0) {
        int out = fd >= 0 ? fd : open("/dev/null", O_WRONLY);
        if (out >= 0) {
            dup2(out, STDOUT_FILENO);
            if (quiet) dup2(out, STDERR_FILENO);
        }
        execvp(argv[0], const_cast<char* const*>(argv));
        _exit(kNotRun);
    }
    int status;
    while (waitpid(pid, &status, 0) < 0) {
        if (errno != EINTR) return -1;
    }
    return WIFEXITED(status) ? WEXITSTATUS(status) : -1;
}

// The password goes to osslsigncode through a file only this user can read, removed at once after.
static int SavePassword(const char* password, char* path, size_t pathSize) {
    const char* dir = getenv("TMPDIR");
    if (FormatStr(path, pathSize, "%s/vnpack-pass-XXXXXX", dir && *dir ? dir : "/tmp") != 0) return -1;
    int fd = mkstemp(path);  // mode 0600
    if (fd < 0) return -1;
    size_t n = strlen(password);
    bool ok = write(fd, password, n) == static_cast<ssize_t>(n);
    if (close(fd) != 0 || !ok) {
        unlink(path);
        return -1;
    }
    return 0;
}

int RunSignTool(const SignJob* job) {
    char passFile[4096] = "";
    if (job->password && SavePassword(job->password, passFile, sizeof passFile) != 0) return 1;
    const char* argv[16] = {"osslsigncode", "sign", "-pkcs12", job->pkcs12, "-h", "sha256"};
    int n = 6;
    if (passFile[0]) {
        argv[n++] = "-readpass";
        argv[n++] = passFile;
    }
    if (job->timestampUrl) {
        argv[n++] = "-ts";
        argv[n++] = job->timestampUrl;
    }
    argv[n++] = "-in";
    argv[n++] = job->in;
    argv[n++] = "-out";
    argv[n++] = job->out;
    argv[n] = nullptr;
    int status = RunTool(argv, -1, false);
    if (passFile[0]) unlink(passFile);
    if (status == 0) return 0;
    return status == kNotRun || status < 0 ? 1 : 2;
}

// The text after "key" on its line, cut at the line's end.
static void FindField(const char* text, const char* key, char* dst, size_t dstSize) {
    dst[0] = '\0';
    const char* p = strstr(text, key);
    if (!p) return;
    p += strlen(key);
    while (*p == ' ' || *p == ':' || *p == '\t') ++p;
    CopyBytes(dst, dstSize, p, strcspn(p, " \r\n"));
}

int DescribeSignature(const char* path, SignatureInfo* info) {
    memset(info, 0, sizeof *info);
    char outPath[] = "/tmp/vnpack-verify-XXXXXX";
    int fd = mkstemp(outPath);
    if (fd < 0) return -1;
    unlink(outPath);
    // verify fails on a certificate this system does not trust, but still reports what it read.
    const char* argv[] = {"osslsigncode", "verify", "-in", path, nullptr};
    int status = RunTool(argv, fd, true);
    static char text[1 << 16];
    ssize_t got = status == kNotRun || status < 0 ? -1 : pread(fd, text, sizeof text - 1, 0);
    close(fd);
    if (got <= 0) return -1;
    text[got] = '\0';
    char current[160], calculated[160];
    FindField(text, "Current message digest", current, sizeof current);
    FindField(text, "Calculated message digest", calculated, sizeof calculated);
    FindField(text, "Message digest algorithm", info->digest, sizeof info->digest);
    if (!current[0] || !info->digest[0]) return -1;
    info->matches = strcmp(current, calculated) == 0;
    // The signer is shown only while the digest matches.
    const char* signer = strstr(text, "Signer #0:");
    const char* subject = signer ? strstr(signer, "Subject:") : nullptr;
    if (subject) {
        subject += strlen("Subject:");
        while (*subject == ' ') ++subject;
        CopyBytes(info->subject, sizeof info->subject, subject, strcspn(subject, "\r\n"));
    } else {
        CopyStr(info->subject, sizeof info->subject, "an unknown signer");
    }
    return 0;
}
