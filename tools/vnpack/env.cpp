// vnpack env: shows a studio how the updater will read an install.env, and warns about the traps.
#include <cstdint>
#include <cstdio>
#include <cstring>

#include "common/alloc.h"
#include "common/str_util.h"
#include "config/sections.h"
#include "config/settings.h"
#include "update/install_lookup.h"
#include "vnpack/cp932_text.h"
#include "vnpack/env_analysis.h"
#include "vnpack/env_check.h"
#include "vnpack/env_transfer.h"
#include "vnpack/host.h"
#include "vnpack/vnpack.h"

static const size_t kMaxEnvFileBytes = 64u << 20;

// Reads the whole file. Returns 0, or an exit code after the message.
static int ReadEnvFile(const char* path, unsigned char** data, size_t* size) {
    *data = nullptr;
    *size = 0;
    FILE* f = OpenHostFile(path, "rb");
    if (!f) return Fail(kExitBadInput, path, "cannot open it");
    int rc = kExitBadInput;
    long end = -1;
    unsigned char* buf = nullptr;
    if (fseek(f, 0, SEEK_END) == 0) end = ftell(f);
    if (end < 0 || fseek(f, 0, SEEK_SET) != 0) {
        rc = Fail(kExitBadInput, path, "cannot read it");
        goto done;
    }
    if (static_cast<unsigned long>(end) > kMaxEnvFileBytes) {
        rc = Fail(kExitBadInput, path, "%ld bytes: too large for an install.env", end);
        goto done;
    }
    buf = static_cast<unsigned char*>(AllocChecked(static_cast<size_t>(end) + 1));
    if (!buf) {
        rc = kExitUsage;
        goto done;
    }
    if (fread(buf, 1, static_cast<size_t>(end), f) != static_cast<size_t>(end)) {
        FreeChecked(buf);
        rc = Fail(kExitBadInput, path, "cannot read it");
        goto done;
    }
    *data = buf;
    *size = static_cast<size_t>(end);
    rc = 0;
done:
    fclose(f);
    return rc;
}

int RunEnv(int argc, char** argv) {
    const char* path = nullptr;
    bool json = false;
    char installDir[kMaxPathBytes];  // CP932, for the [ini]/[reg] preview
    CopyStr(installDir, sizeof installDir, kSampleInstallDir);
    for (int i = 0; i < argc; ++i) {
        if (strcmp(argv[i], "--json") == 0) {
            json = true;
        } else if (strcmp(argv[i], "--install-dir") == 0 && i + 1 < argc) {
            if (ConvertUtf8ToCp932(argv[++i], installDir, sizeof installDir) != 0 || installDir[0] == '\0') {
                return Fail(kExitUsage, nullptr, "--install-dir: a folder of 1 to 259 bytes in CP932 is needed");
            }
        } else if (argv[i][0] == '-' && argv[i][1] != '\0') {
            return UsageError("env");
        } else if (path) {
            return UsageError("env");
        } else {
            path = argv[i];
        }
    }
    if (!path) return UsageError("env");
    unsigned char* data;
    size_t size;
    int rc = ReadEnvFile(path, &data, &size);
    if (rc != 0) return rc;

    EnvAnalysis* an = static_cast<EnvAnalysis*>(AllocChecked(sizeof(EnvAnalysis)));
    if (!an || AnalyseEnv(data, size, installDir, an) != 0) {
        rc = kExitUsage;
    } else {
        char reason[1024];
        bool stops = CheckEnvForUpdater(data, size, reason, sizeof reason) != 0;
        if (json) {
            PrintEnvJson(stdout, path, an, stops ? reason : nullptr);
        } else {
            PrintEnvText(stdout, path, an);
        }
        fflush(stdout);
        if (stops) rc = Fail(kExitBadInput, path, "%s", reason);
    }
    ResetSettings();
    ResetSections();
    FreeChecked(an);
    FreeChecked(data);
    return rc;
}
