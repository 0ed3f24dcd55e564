// vnpack rct encode IN.png OUT.rct [--name TEXT] | decode IN.rct OUT.png
#include <cerrno>
#include <cstdio>
#include <cstring>

#include "common/alloc.h"
#include "image/rct.h"
#include "vnpack/cp932_text.h"
#include "vnpack/host.h"
#include "vnpack/png_io.h"
#include "vnpack/vnpack.h"

static const size_t kMaxNameBytes = 0xFFFF;

static int Encode(const char* inPath, const char* outPath, const char* nameUtf8) {
    // The engine reads names as CP932; the command line gives UTF-8.
    static char name[kMaxNameBytes + 1];
    if (nameUtf8 && ConvertUtf8ToCp932(nameUtf8, name, sizeof name) != 0) {
        return Fail(kExitUsage, nullptr, "--name: not representable in CP932 within %zu bytes", kMaxNameBytes);
    }

    char err[256];
    uint8_t* pixels = nullptr;
    uint8_t* data = nullptr;
    int32_t w = 0, h = 0;
    size_t dataLen = 0;
    FILE* f = nullptr;
    int code = kExitOk;
    if (LoadPngBgr(inPath, &pixels, &w, &h, err, sizeof err) != 0) {
        code = Fail(kExitBadInput, inPath, "%s", err);
        goto done;
    }
    data = static_cast<uint8_t*>(AllocChecked(RctEncodeBound(w, h)));
    if (!data || EncodeRct(pixels, w, h, data, RctEncodeBound(w, h), &dataLen) != 0) {
        code = Fail(kExitUsage, inPath, "cannot encode (out of memory)");
        goto done;
    }
    f = OpenHostFile(outPath, "wb");
    if (!f) {
        code = Fail(kExitUsage, outPath, "cannot create: %s", strerror(errno));
        goto done;
    }
    if (WriteRctFile(f, w, h, nameUtf8 ? name : nullptr, nameUtf8 ? strlen(name) : 0, data, dataLen) != 0 ||
        fclose(f) != 0) {
        f = nullptr;
        RemoveHostFile(outPath);
        code = Fail(kExitUsage, outPath, "cannot write");
        goto done;
    }
    f = nullptr;
done:
    if (f) fclose(f);
    FreeChecked(data);
    FreeChecked(pixels);
    return code;
}

static int Decode(const char* inPath, const char* outPath) {
    FILE* f = OpenHostFile(inPath, "rb");
    if (!f) return Fail(kExitBadInput, inPath, "cannot open: %s", strerror(errno));
    RctFile rct;
    int rc = ReadRctFile(f, &rct);
    fclose(f);
    if (rc != kRctOk) return Fail(rc == kRctNoMemory ? kExitUsage : kExitBadInput, inPath, "%s", DescribeRctStatus(rc));

    char err[256];
    int code = kExitOk;
    const size_t size = size_t{3} * static_cast<size_t>(rct.width) * static_cast<size_t>(rct.height);
    uint8_t* pixels = static_cast<uint8_t*>(AllocChecked(size));
    if (!pixels) {
        code = Fail(kExitUsage, inPath, "out of memory");
    } else if ((rc = DecodeRct(rct.data, static_cast<size_t>(rct.dataSize), rct.width, rct.height, pixels, size)) !=
               kRctOk) {
        code = Fail(kExitBadInput, inPath, "%s", DescribeRctStatus(rc));
    } else if (SavePngBgr(outPath, pixels, rct.width, rct.height, err, sizeof err) != 0) {
        RemoveHostFile(outPath);
        code = Fail(kExitUsage, outPath, "%s", err);
    }
    FreeChecked(pixels);
    FreeRctFile(&rct);
    return code;
}

int RunRct(int argc, char** argv) {
    if (argc >= 3 && strcmp(argv[0], "encode") == 0) {
        if (argc == 3) return Encode(argv[1], argv[2], nullptr);
        if (argc == 5 && strcmp(argv[3], "--name") == 0) return Encode(argv[1], argv[2], argv[4]);
    }
    if (argc == 3 && strcmp(argv[0], "decode") == 0) return Decode(argv[1], argv[2]);
    return UsageError("rct");
}
