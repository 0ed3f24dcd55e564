// The signing tool is osslsigncode on every system: the Linux vnpack runs Debian's, vnpack.exe a
// Windows build of it beside itself or on PATH. Both read the same arguments and print the same
// report, so everything but starting it is shared.
#include "vnpack/sign_tool.h"

#include <cstdlib>
#include <cstring>

#include "common/str_util.h"
#include "vnpack/host.h"

// The password goes to the tool through a file only this user can read, removed at once after.
static int SavePassword(const char* password, char* path, size_t pathSize) {
    FILE* f = CreateHostTempFile(path, pathSize);
    if (!f) return -1;
    size_t n = strlen(password);
    bool ok = fwrite(password, 1, n, f) == n;
    if (fclose(f) != 0 || !ok) {
        RemoveHostFile(path);
        return -1;
    }
    return 0;
}

int RunSignTool(const SignJob* job) {
    char passFile[kHostPathBytes] = "";
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
    int status = RunHostProgram(argv, nullptr, false);
    if (passFile[0]) RemoveHostFile(passFile);
    if (status == 0) return 0;
    return status == kHostProgramMissing || status < 0 ? 1 : 2;
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
    char outPath[kHostPathBytes];
    FILE* out = CreateHostTempFile(outPath, sizeof outPath);
    if (!out) return -1;
    // verify fails on a certificate this system does not trust, but still reports what it read.
    const char* argv[] = {"osslsigncode", "verify", "-in", path, nullptr};
    int status = RunHostProgram(argv, out, true);
    static char text[1 << 16];
    size_t got = 0;
    if (status != kHostProgramMissing && status >= 0 && fseek(out, 0, SEEK_SET) == 0) {
        got = fread(text, 1, sizeof text - 1, out);
    }
    fclose(out);
    RemoveHostFile(outPath);
    if (got == 0) return -1;
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
