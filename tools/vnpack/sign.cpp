// vnpack sign: an Authenticode signature on an updater, made, replaced or removed. The payload ends
// before the certificate table, and the unsigned bytes are kept exactly, so a removed signature
// gives back the file as built.
#include "vnpack/sign.h"

#include <cerrno>
#include <cstdlib>
#include <cstring>

#include "common/str_util.h"
#include "payload/payload_format.h"
#include "vnpack/host.h"
#include "vnpack/pe_file.h"
#include "vnpack/sign_tool.h"
#include "vnpack/vnpack.h"

int ParseSignOption(int argc, char** argv, int* i, SignOptions* opt) {
    const char* a = argv[*i];
    const char** slot = strcmp(a, "--pkcs12") == 0         ? &opt->pkcs12
                        : strcmp(a, "--password-env") == 0 ? &opt->passwordEnv
                        : strcmp(a, "--timestamp") == 0    ? &opt->timestampUrl
                                                           : nullptr;
    if (!slot) return 0;
    if (*i + 1 >= argc) return -1;
    *slot = argv[++*i];
    return 1;
}

// Writes the unsigned updater into tmp, a new file beside path (the final rename stays on one file
// system). Returns a VnpackExit code.
static int SaveUnsigned(const char* path, PayloadBounds* bounds, char* tmp, size_t tmpSize) {
    FILE* in = OpenHostFile(path, "rb");
    if (!in) return Fail(kExitBadInput, path, "%s", strerror(errno));
    int error = FindFileBounds(in, bounds);
    if (error != kPayloadOk) {
        fclose(in);
        return Fail(kExitBadInput, path, "%s", DescribePayloadError(error));
    }
    FILE* out = CreateHostFileBeside(path, tmp, tmpSize);
    int rc = out ? kExitOk : Fail(kExitUsage, path, "cannot create a file beside it: %s", strerror(errno));
    if (rc == kExitOk && (WriteUnsignedUpdater(in, bounds, out) != 0 || fflush(out) != 0)) {
        rc = Fail(kExitUsage, tmp, "write failed: %s", strerror(errno));
    }
    fclose(in);
    if (out && fclose(out) != 0 && rc == kExitOk) rc = Fail(kExitUsage, tmp, "write failed: %s", strerror(errno));
    if (rc != kExitOk && out) RemoveHostFile(tmp);
    return rc;
}

static int ReplaceWith(const char* tmp, const char* path) {
    if (ReplaceHostFile(tmp, path) == 0) return kExitOk;
    int rc = Fail(kExitUsage, path, "cannot replace: %s", strerror(errno));
    RemoveHostFile(tmp);
    return rc;
}

// The signed file must still lead to the same payload, ending just before its certificate table.
static int CheckSigned(const char* path, uint32_t start, uint32_t trailer) {
    FILE* f = OpenHostFile(path, "rb");
    PayloadBounds bounds;
    int error = f ? FindFileBounds(f, &bounds) : kPayloadReadFailed;
    if (f) fclose(f);
    if (error != kPayloadOk || !bounds.isSigned || bounds.start != start || bounds.trailer != trailer) return -1;
    return 0;
}

int SignUpdater(const char* path, const SignOptions* opt) {
    const char* password = nullptr;
    if (opt->passwordEnv) {
        password = getenv(opt->passwordEnv);
        if (!password) return Fail(kExitUsage, nullptr, "--password-env: %s is not set", opt->passwordEnv);
    }
    PayloadBounds bounds;
    char unsignedPath[kHostPathBytes], signedPath[kHostPathBytes];
    int rc = SaveUnsigned(path, &bounds, unsignedPath, sizeof unsignedPath);
    if (rc != kExitOk) return rc;
    // The tool writes only a file that does not exist yet; the unsigned one's name is unique.
    if (FormatStr(signedPath, sizeof signedPath, "%s.signed", unsignedPath) != 0) {
        RemoveHostFile(unsignedPath);
        return Fail(kExitUsage, path, "path too long");
    }
    const SignJob job = {unsignedPath, signedPath, opt->pkcs12, password, opt->timestampUrl};
    int tool = RunSignTool(&job);
    RemoveHostFile(unsignedPath);
    if (tool == 1) rc = Fail(kExitUsage, nullptr, "cannot run osslsigncode: %s", kSignToolHint);
    if (tool == 2) rc = Fail(kExitBadInput, opt->pkcs12, "signing failed (osslsigncode's message is above)");
    uint32_t trailer = bounds.trailer + static_cast<uint32_t>(GetPayloadPadding(bounds.trailer));
    if (rc == kExitOk && CheckSigned(signedPath, bounds.start, trailer) != 0) {
        rc = Fail(kExitUsage, path, "the signed file no longer leads to its payload");
    }
    if (rc != kExitOk) {
        RemoveHostFile(signedPath);
        return rc;
    }
    rc = ReplaceWith(signedPath, path);
    if (rc == kExitOk) printf("%s: signed%s\n", path, bounds.isSigned ? ", replacing its signature" : "");
    return rc;
}

static int RemoveSignature(const char* path) {
    PayloadBounds bounds;
    char tmp[kHostPathBytes];
    int rc = SaveUnsigned(path, &bounds, tmp, sizeof tmp);
    if (rc != kExitOk) return rc;
    if (!bounds.isSigned) {
        RemoveHostFile(tmp);
        printf("%s: not signed, left as it is\n", path);
        return kExitOk;
    }
    rc = ReplaceWith(tmp, path);
    if (rc == kExitOk) printf("%s: signature removed\n", path);
    return rc;
}

int RunSign(int argc, char** argv) {
    SignOptions opt = {nullptr, nullptr, nullptr};
    const char* path = nullptr;
    bool remove = false;
    for (int i = 0; i < argc; ++i) {
        int took = ParseSignOption(argc, argv, &i, &opt);
        if (took < 0) return UsageError("sign");
        if (took > 0) continue;
        if (strcmp(argv[i], "--remove") == 0) {
            remove = true;
        } else if (argv[i][0] != '-' && !path) {
            path = argv[i];
        } else {
            return UsageError("sign");
        }
    }
    if (!path || remove == (opt.pkcs12 != nullptr) || (remove && (opt.passwordEnv || opt.timestampUrl))) {
        return UsageError("sign");
    }
    return remove ? RemoveSignature(path) : SignUpdater(path, &opt);
}

int ShowSignature(FILE* f, const char* path) {
    PayloadBounds bounds;
    if (FindFileBounds(f, &bounds) != kPayloadOk || !bounds.isSigned) {
        printf("not signed\n");
        return kExitOk;
    }
    SignatureInfo info;
    if (DescribeSignature(path, &info) != 0) {
        printf("signed: a certificate table of %u bytes after the payload (osslsigncode could not read it)\n",
               bounds.tableBytes);
        return kExitOk;
    }
    printf("signed by %s, %s digest; the payload ends before the signature\n", info.subject, info.digest);
    if (!info.matches) return Fail(kExitBadInput, path, "the file changed after it was signed: sign it again");
    return kExitOk;
}
