// vnpack list | test | extract: the payload read through the program's own reader and walk.
#include <cerrno>
#include <cstdio>
#include <cstring>

#include "common/sjis.h"
#include "common/str_util.h"
#include "payload/delta.h"
#include "payload/extract.h"
#include "payload/payload_format.h"
#include "vnpack/cp932_text.h"
#include "vnpack/host.h"
#include "vnpack/progress.h"
#include "vnpack/sign.h"
#include "vnpack/vnpack.h"


// The shortest install folder a name can meet, so test flags what cannot fit anywhere.
static const char kTestDest[] = "C:";

static int OpenUpdater(const char* path, FILE** f, PayloadReader* reader) {
    *f = OpenHostFile(path, "rb");
    if (!*f) return Fail(kExitBadInput, path, "%s", strerror(errno));
    if (OpenPayloadReader(*f, reader) != 0) {
        fclose(*f);
        *f = nullptr;
        return Fail(kExitBadInput, path, "%s", DescribePayloadError(reader->error));
    }
    return kExitOk;
}

static int FailRecord(const char* path, const char* name, int error) {
    char shown[kPayloadNameBytes * 4];
    if (!name[0]) return Fail(kExitBadInput, path, "%s", DescribePayloadError(error));
    FormatShownName(name, shown, sizeof shown);
    return Fail(kExitBadInput, path, "record '%s': %s", shown, DescribePayloadError(error));
}

// UTC from FILETIME by the calendar's arithmetic: the C libraries of the hosts differ on times
// before 1970 and past 2038, and both tools must print the same.
static void FormatTime(uint64_t fileTime, char* dst, size_t dstSize) {
    uint64_t seconds = fileTime / 10000000u;
    unsigned secOfDay = static_cast<unsigned>(seconds % 86400);
    // Days counted from 0000-03-01, so that a leap day ends its year.
    int64_t z = static_cast<int64_t>(seconds / 86400) + 584694;
    int64_t era = z / 146097;
    unsigned doe = static_cast<unsigned>(z - era * 146097);
    unsigned yoe = (doe - doe / 1460 + doe / 36524 - doe / 146096) / 365;
    unsigned doy = doe - (365 * yoe + yoe / 4 - yoe / 100);
    unsigned mp = (5 * doy + 2) / 153;
    unsigned day = doy - (153 * mp + 2) / 5 + 1;
    unsigned month = mp < 10 ? mp + 3 : mp - 9;
    long long year = era * 400 + yoe + (month <= 2);
    FormatStr(dst, dstSize, "%04lld-%02u-%02u %02u:%02u:%02u", year, month, day, secOfDay / 3600, secOfDay / 60 % 60,
              secOfDay % 60);
}

static void FormatHash(const uint8_t* hash, char* dst, size_t dstSize) {
    for (size_t i = 0; i < kSha256Bytes && 2 * i + 2 < dstSize; ++i) FormatStr(dst + 2 * i, 3, "%02x", hash[i]);
}

// A delta record's line: new size, data size, ratio to the new size, then what it applies to.
static int ListDelta(PayloadReader* reader, const PayloadRecord* rec, const char* when, const char* shown) {
    DeltaHeader h;
    char oldHash[2 * kSha256Bytes + 1];
    char newHash[2 * kSha256Bytes + 1];
    if (ReadDeltaHeader(reader, rec, &h) != 0) return -1;
    FormatHash(h.oldHash, oldHash, sizeof oldHash);
    FormatHash(h.newHash, newHash, sizeof newHash);
    double ratio = h.newSize ? 100.0 * rec->packedSize / h.newSize : 100.0;
    printf("%10u %10u %5.1f%%  %-19s  %s (delta)\n", h.newSize, rec->packedSize, ratio, when, shown);
    printf("%10s old %u bytes, sha256 %s\n%10s new sha256 %s\n", "", h.oldSize, oldHash, "", newHash);
    return ReadPayloadBytes(reader, nullptr, rec->packedSize - static_cast<uint32_t>(kDeltaHeaderBytes));
}

int RunList(int argc, char** argv) {
    if (argc != 1) return UsageError("list");
    FILE* f;
    PayloadReader reader;
    int rc = OpenUpdater(argv[0], &f, &reader);
    if (rc != kExitOk) return rc;
    PayloadRecord rec;
    uint64_t size = 0, packed = 0;
    unsigned files = 0, dirs = 0, deltas = 0;
    char shown[kPayloadNameBytes * 4];
    char when[32];
    printf("%10s %10s %6s  %-19s  %s\n", "size", "packed", "ratio", "time (UTC)", "name");
    int got;
    while ((got = ReadPayloadRecord(&reader, &rec)) == 1) {
        FormatShownName(rec.name, shown, sizeof shown);
        if (rec.isDir) {
            printf("%10s %10s %6s  %-19s  %s\n", "<dir>", "", "", "", shown);
            ++dirs;
            continue;
        }
        FormatTime(rec.time, when, sizeof when);
        if (rec.isDelta) {
            packed += rec.packedSize;
            ++deltas;
            if (ListDelta(&reader, &rec, when, shown) != 0) break;
            continue;
        }
        double ratio = rec.size ? 100.0 * rec.packedSize / rec.size : 100.0;
        printf("%10u %10u %5.1f%%  %-19s  %s\n", rec.size, rec.packedSize, ratio, when, shown);
        size += rec.size;
        packed += rec.packedSize;
        ++files;
        if (SkipPayloadRecord(&reader, &rec) != 0) break;
    }
    printf("%10llu %10llu %5.1f%%  %u files, %u folders", static_cast<unsigned long long>(size),
           static_cast<unsigned long long>(packed),
           size ? 100.0 * static_cast<double>(packed) / static_cast<double>(size) : 100.0, files, dirs);
    printf(deltas ? ", %u deltas\n" : "\n", deltas);
    if (got == 0) rc = ShowSignature(f, argv[0]);
    fclose(f);
    if (got != 0) return FailRecord(argv[0], rec.name, reader.error);
    return rc;
}

struct TestCounts {
    unsigned files;
    unsigned dirs;
    bool haveEnv;
    Progress bar;
};

static int ShowTestProgress(void* ctx, const uint8_t*, size_t, uint32_t, uint32_t consumed) {
    ShowProgress(&static_cast<TestCounts*>(ctx)->bar, consumed);
    return 0;
}

static int CountDir(void* ctx, const char*, const PayloadRecord*) {
    static_cast<TestCounts*>(ctx)->dirs++;
    return 0;
}

static int ShowSetupFile(void* ctx, const char*, const PayloadRecord* rec) {
    char shown[kPayloadNameBytes * 4];
    FormatShownName(rec->name, shown, sizeof shown);
    printf("start-up extracts %s\n", shown);
    // Start-up then looks for install.env by that name, and file names do not regard case.
    if (SjisCompareNoCase(rec->name, kSetupEnvName) == 0) static_cast<TestCounts*>(ctx)->haveEnv = true;
    return 0;
}

int RunTest(int argc, char** argv) {
    if (argc != 1) return UsageError("test");
    const char* path = argv[0];
    FILE* f;
    PayloadReader reader;
    int rc = OpenUpdater(path, &f, &reader);
    if (rc != kExitOk) return rc;
    TestCounts counts = {0, 0, false, {false, 0, 0}};
    StartProgress(&counts.bar, reader.total, kProgressLargeBytes);
    ExtractResult result;
    const ExtractOps all = {CountDir, nullptr, ShowTestProgress, nullptr, nullptr, nullptr, nullptr, nullptr};
    const ExtractOps setup = {nullptr, ShowSetupFile, nullptr, nullptr, nullptr, nullptr, nullptr, nullptr};
    if (RunPayloadExtraction(&reader, kTestDest, kExtractAll, &all, &counts, &result) != 0) {
        rc = FailRecord(path, result.name, result.error);
    }
    counts.files = result.files;
    if (rc == kExitOk) EndProgress(&counts.bar);
    if (rc == kExitOk && (OpenPayloadReader(f, &reader) != 0 ||
                          RunPayloadExtraction(&reader, kTestDest, kExtractSetupFiles, &setup, &counts, &result) != 0)) {
        rc = FailRecord(path, result.name, result.error != kPayloadOk ? result.error : reader.error);
    }
    if (rc == kExitOk && !counts.haveEnv)
        rc = Fail(kExitBadInput, path, "start-up would not find install.env at the top level");
    if (rc == kExitOk) rc = ShowSignature(f, path);
    fclose(f);
    if (rc != kExitOk) return rc;
    char shown[kPayloadNameBytes * 4];
    FormatShownName(result.name, shown, sizeof shown);
    if (result.stopped) printf("start-up stops at folder %s\n", shown);
    printf("%s: ok, %u files, %u folders, %u payload bytes\n", path, counts.files, counts.dirs, reader.total);
    return kExitOk;
}

// Extraction on this system: names converted to UTF-8 with the host's separators below DEST.
struct HostExtract {
    const char* dest;
    const char* base;  // where the installed files that deltas apply to are, or null
    FILE* out;
    FILE* old;
    char path[kHostPathBytes];
    char why[256];
    unsigned dirs;
    Progress bar;
};

static int MakeHostPath(HostExtract* x, const PayloadRecord* rec, const char* under) {
    char utf8[kPayloadNameBytes * 3];
    if (ConvertCp932ToUtf8(rec->name, utf8, sizeof utf8) != 0) {
        CopyStr(x->why, sizeof x->why, "the name is not valid CP932");
        return -1;
    }
    char sep = GetHostPathSep();
    for (char* p = utf8; *p; ++p) {
        if (*p == '\\') *p = sep;  // UTF-8 has no 0x5C inside a character
    }
    size_t len = strlen(utf8);
    if (len && utf8[len - 1] == sep) utf8[len - 1] = '\0';
    if (FormatStr(x->path, sizeof x->path, "%s%c%s", under, sep, utf8) != 0) {
        CopyStr(x->why, sizeof x->why, "path too long");
        return -1;
    }
    return 0;
}

static int MakeHostDir(void* ctx, const char*, const PayloadRecord* rec) {
    HostExtract* x = static_cast<HostExtract*>(ctx);
    if (MakeHostPath(x, rec, x->dest) == 0 && CreateHostFolder(x->path) == 0) x->dirs++;
    return 0;
}

static int CreateExtractedFile(void* ctx, const char*, const PayloadRecord* rec) {
    HostExtract* x = static_cast<HostExtract*>(ctx);
    if (MakeHostPath(x, rec, x->dest) != 0) return -1;
    x->out = OpenHostFile(x->path, "wb");
    if (!x->out) {
        FormatStr(x->why, sizeof x->why, "cannot create %s: %s", x->path, strerror(errno));
        return -1;
    }
    return 0;
}

static int WriteHostFile(void* ctx, const uint8_t* bytes, size_t n, uint32_t, uint32_t consumed) {
    HostExtract* x = static_cast<HostExtract*>(ctx);
    ShowProgress(&x->bar, consumed);
    if (fwrite(bytes, 1, n, x->out) == n) return 0;
    FormatStr(x->why, sizeof x->why, "cannot write %s: %s", x->path, strerror(errno));
    return -1;
}

// Like the program, keeps what was written of a failed file, and sets only the last-write time.
static int CloseHostFile(void* ctx, const char*, const PayloadRecord* rec, bool ok) {
    HostExtract* x = static_cast<HostExtract*>(ctx);
    int rc = fclose(x->out);
    x->out = nullptr;
    if (rc != 0) {
        FormatStr(x->why, sizeof x->why, "cannot write %s: %s", x->path, strerror(errno));
        return -1;
    }
    if (ok) SetHostFileTime(x->path, rec->time);
    return 0;
}

// The old file of a delta, read from the --base folder as the program reads it in the game's.
static int OpenHostOld(void* ctx, const char*, const PayloadRecord* rec, uint64_t* size) {
    HostExtract* x = static_cast<HostExtract*>(ctx);
    HostFileInfo st;
    if (!x->base || MakeHostPath(x, rec, x->base) != 0) return -1;
    x->why[0] = '\0';
    if (GetHostFileInfo(x->path, true, &st) != 0 || !st.isFile) return -1;
    x->old = OpenHostFile(x->path, "rb");
    if (!x->old) return -1;
    *size = st.size;
    return 0;
}

static int ReadHostOld(void* ctx, uint64_t offset, uint8_t* dst, size_t n) {
    FILE* old = static_cast<HostExtract*>(ctx)->old;
    if (SeekHostFile(old, offset) != 0) return -1;
    return fread(dst, 1, n, old) == n ? 0 : -1;
}

static void CloseHostOld(void* ctx) {
    HostExtract* x = static_cast<HostExtract*>(ctx);
    if (x->old) fclose(x->old);
    x->old = nullptr;
}

int RunExtract(int argc, char** argv) {
    const char* file = nullptr;
    const char* dest = nullptr;
    const char* base = nullptr;
    int mode = kExtractAll;
    for (int i = 0; i < argc; ++i) {
        if (strcmp(argv[i], "--setup") == 0) {
            mode = kExtractSetupFiles;
        } else if (strcmp(argv[i], "--base") == 0 && i + 1 < argc && !base) {
            base = argv[++i];
        } else if (argv[i][0] == '-' || (file && dest)) {
            return UsageError("extract");
        } else if (!file) {
            file = argv[i];
        } else {
            dest = argv[i];
        }
    }
    if (!file || !dest) return UsageError("extract");
    if (CreateHostFolder(dest) != 0) return Fail(kExitUsage, dest, "%s", strerror(errno));
    FILE* f;
    PayloadReader reader;
    int rc = OpenUpdater(file, &f, &reader);
    if (rc != kExitOk) return rc;
    HostExtract x;
    memset(&x, 0, sizeof x);
    x.dest = dest;
    x.base = base;
    StartProgress(&x.bar, reader.total, kProgressLargeBytes);
    const ExtractOps ops = {MakeHostDir, CreateExtractedFile, WriteHostFile, CloseHostFile,
                            OpenHostOld, ReadHostOld,         CloseHostOld,  nullptr};
    ExtractResult result;
    if (RunPayloadExtraction(&reader, dest, mode, &ops, &x, &result) != 0) {
        if (x.why[0]) {
            char shown[kPayloadNameBytes * 4];
            FormatShownName(result.name, shown, sizeof shown);
            rc = Fail(kExitBadInput, file, "record '%s': %s", shown, x.why);
        } else {
            rc = FailRecord(file, result.name, result.error);
        }
    }
    fclose(f);
    if (rc != kExitOk) return rc;
    EndProgress(&x.bar);
    printf("%s: %u files, %u folders\n", dest, result.files, x.dirs);
    return kExitOk;
}
