// vnpack build: turns a folder into an updater, the stub followed by the payload and its trailer.
#include <cerrno>
#include <cstdio>
#include <cstdlib>
#include <cstring>

#include "common/alloc.h"
#include "common/grow_array.h"
#include "common/le_bytes.h"
#include "common/sjis.h"
#include "common/str_util.h"
#include "payload/payload_format.h"
#include "vnpack/cp932_text.h"
#include "vnpack/pack_base.h"
#include "vnpack/pack_compress.h"
#include "vnpack/pack_scan.h"
#include "vnpack/env_check.h"
#include "vnpack/host.h"
#include "vnpack/pack_times.h"
#include "vnpack/pe_file.h"
#include "vnpack/sign.h"
#include "vnpack/vnpack.h"


struct BuildOptions {
    const char* dir;
    const char* out;
    const char* stub;
    const char* stopFolder;
    int level;
    bool best;  // zopfli
    int threads;
    bool force;  // pack an install.env on which the updater would stop
    bool clamp;
    bool followLinks;
    int64_t epoch;
    SignOptions sign;
    const char* bases[kMaxBases];  // --base: the folders players have
    size_t baseCount;
    bool fallbackWhole;
    bool keepUnchanged;
};

struct BuildStats {
    size_t files;
    size_t deltas;
    size_t unchanged;
};

static int LoadSource(const BuildEntry* e, uint8_t** data);

// Refuses an install.env on which the updater would stop at start, unless --force.
static int CheckInstallEnv(const BuildOptions* opt, const BuildEntry* env) {
    uint8_t* data = nullptr;
    int rc = LoadSource(env, &data);
    char reason[1024];
    if (rc == kExitOk && CheckEnvForUpdater(data, env->size, reason, sizeof reason) != 0) {
        if (opt->force) {
            fprintf(stderr, "vnpack: %s: warning: %s\n", env->path, reason);
        } else {
            rc = Fail(kExitBadInput, env->path, "%s (see vnpack env; --force packs it anyway)", reason);
        }
    }
    FreeChecked(data);
    return rc;
}

// Start-up matches the setup files' names exactly, so "INSTALL.ENV" would never be extracted and
// every player's updater would stop at start.
static int CheckSetupNameCase(const BuildEntry* e) {
    static const char* const kSetupFiles[] = {kSetupEnvName, kSetupPictureName};
    for (const char* wanted : kSetupFiles) {
        if (SjisCompareNoCase(e->name, wanted) == 0 && strcmp(e->name, wanted) != 0) {
            return Fail(kExitBadInput, e->path,
                        "start-up looks for %s and matches the name exactly, case included; "
                        "rename the file to %s",
                        wanted, wanted);
        }
    }
    return kExitOk;
}

// Refuses a tree whose setup files start-up would try to write into a folder it never creates.
static int CheckSetupWalk(const BuildOptions* opt, const EntryList* list) {
    const BuildEntry* env = nullptr;
    for (size_t i = 0; i < list->count; ++i) {
        const BuildEntry* e = &list->items[i];
        if (e->group != kGroupTopFile) continue;
        int rc = CheckSetupNameCase(e);
        if (rc != kExitOk) return rc;
        if (strcmp(e->name, kSetupEnvName) == 0) env = e;
    }
    if (!env) return Fail(kExitBadInput, opt->dir, "no install.env at the top level; the updater cannot start without it");
    int rc = CheckInstallEnv(opt, env);
    if (rc != kExitOk) return rc;
    PayloadRecord rec;
    memset(&rec, 0, sizeof rec);
    for (size_t i = 0; i < list->count; ++i) {
        const BuildEntry* e = &list->items[i];
        CopyStr(rec.name, sizeof rec.name, e->name);
        rec.isDir = e->group == kGroupDir;
        int step = FindSetupStep(&rec);
        if (step == kSetupStop) return kExitOk;
        if (step == kSetupFail) {
            return Fail(kExitBadInput, e->path,
                        "start-up would extract this file (its name contains install.env, insttscr.rct or "
                        ".txt) into a folder it never creates; move it to the top level or add a folder two "
                        "levels deep with --add-stop-folder NAME\\SUB");
        }
    }
    return kExitOk;
}

static int WriteBytes(FILE* out, const void* bytes, size_t n, uint64_t* length) {
    if (n && fwrite(bytes, 1, n, out) != n) return -1;
    *length += n;
    return 0;
}

static int CopyStub(const BuildOptions* opt, FILE* out, uint64_t* length) {
    FILE* in = OpenHostFile(opt->stub, "rb");
    if (!in) return Fail(kExitUsage, opt->stub, "cannot read the stub: %s (pass --stub PATH)", strerror(errno));
    char buf[65536];
    int rc = kExitOk;
    size_t n;
    while ((n = fread(buf, 1, sizeof buf, in)) > 0) {
        if (WriteBytes(out, buf, n, length) != 0) {
            rc = Fail(kExitUsage, opt->out, "write failed: %s", strerror(errno));
            break;
        }
    }
    if (rc == kExitOk && ferror(in)) rc = Fail(kExitUsage, opt->stub, "read failed");
    fclose(in);
    return rc;
}

// Reads a whole file of the expected size; the caller frees *data.
static int LoadSource(const BuildEntry* e, uint8_t** data) {
    *data = static_cast<uint8_t*>(AllocChecked(e->size ? e->size : 1));
    if (!*data) return kExitUsage;
    FILE* in = OpenHostFile(e->path, "rb");
    if (!in) return Fail(kExitBadInput, e->path, "%s", strerror(errno));
    size_t got = fread(*data, 1, e->size, in);
    bool more = fgetc(in) != EOF;
    fclose(in);
    if (got != e->size || more) return Fail(kExitBadInput, e->path, "the file changed while it was packed");
    return kExitOk;
}

// Files read and compressed at once: enough to keep every thread busy, few enough to bound memory.
static const uint64_t kBatchBytes = 64u << 20;

static int WriteHeader(const BuildOptions* opt, const BuildEntry* e, uint32_t size, size_t packed, FILE* out,
                       uint64_t* length) {
    uint8_t header[kPayloadNameBytes + 32];
    size_t n =
        FormatPayloadRecord(e->name, strlen(e->name), size, static_cast<uint32_t>(packed), e->time, header, sizeof header);
    if (size != kPayloadDirMark && *length + n + packed + kPayloadEndBytes + 8 + kPayloadTrailerBytes >= kPayloadSizeLimit) {
        return Fail(kExitBadInput, opt->out, "the finished file would be 2 GiB or more");
    }
    if (WriteBytes(out, header, n, length) != 0) return Fail(kExitUsage, opt->out, "write failed: %s", strerror(errno));
    return kExitOk;
}

static int WriteData(const BuildOptions* opt, const uint8_t* data, size_t n, FILE* out, uint64_t* length) {
    if (WriteBytes(out, data, n, length) != 0) return Fail(kExitUsage, opt->out, "write failed: %s", strerror(errno));
    return kExitOk;
}

// A setup-like name always travels whole: start-up reads only whole records.
static bool IsSetupLike(const BuildEntry* e) {
    PayloadRecord rec;
    memset(&rec, 0, sizeof rec);
    CopyStr(rec.name, sizeof rec.name, e->name);
    return FindSetupStep(&rec) != kSetupSkip;
}

// A file's records: with --base, its deltas first, then the whole record when it must travel too.
static int WriteRecord(const BuildOptions* opt, const BuildEntry* e, const PackItem* item, FILE* out, uint64_t* length,
                       BuildStats* stats) {
    if (e->group == kGroupDir) return WriteHeader(opt, e, kPayloadDirMark, 0, out, length);
    BasePlan plan;
    memset(&plan, 0, sizeof plan);
    plan.whole = true;
    if (opt->baseCount > 0 && !IsSetupLike(e)) {
        PackOptions pack = {opt->level, false, opt->threads, false, 0};
        if (PlanBaseRecords(opt->bases, opt->baseCount, e->path + strlen(opt->dir) + 1, item->data, item->size,
                            item->packedSize, opt->fallbackWhole, &pack, &plan) != 0)
            return kExitBadInput;
        if (plan.unchanged && !opt->keepUnchanged) {
            ++stats->unchanged;
            return kExitOk;
        }
        if (plan.unchanged) plan.whole = true;
    }
    int rc = kExitOk;
    for (size_t i = 0; i < plan.count && rc == kExitOk; ++i) {
        rc = WriteHeader(opt, e, kPayloadDeltaMark, plan.deltaSizes[i], out, length);
        if (rc == kExitOk) rc = WriteData(opt, plan.deltas[i], plan.deltaSizes[i], out, length);
        ++stats->deltas;
    }
    if (rc == kExitOk && plan.whole) {
        rc = WriteHeader(opt, e, static_cast<uint32_t>(e->size), item->packedSize, out, length);
        if (rc == kExitOk) rc = WriteData(opt, item->packed, item->packedSize, out, length);
    }
    ++stats->files;
    FreeBasePlan(&plan);
    return rc;
}

// Compresses the files in batches, each on every thread, and writes the records in their order.
static int WriteRecords(const BuildOptions* opt, const EntryList* list, FILE* out, uint64_t* length, BuildStats* stats) {
    PackOptions pack = {opt->level, opt->best, opt->threads, IsHostTerminal(stderr), 0};
    uint64_t total = 0;
    uint64_t done = 0;
    for (size_t i = 0; i < list->count; ++i) total += list->items[i].size;
    PackItem* items = static_cast<PackItem*>(AllocChecked(sizeof(PackItem) * (list->count ? list->count : 1)));
    if (!items) return kExitUsage;
    int rc = kExitOk;
    for (size_t first = 0; first < list->count && rc == kExitOk;) {
        size_t end = first;
        uint64_t bytes = 0;
        while (end < list->count && (end == first || bytes < kBatchBytes)) bytes += list->items[end++].size;
        size_t count = 0;
        for (size_t i = first; i < end && rc == kExitOk; ++i) {
            const BuildEntry* e = &list->items[i];
            if (e->group == kGroupDir) continue;
            uint8_t* data = nullptr;
            rc = LoadSource(e, &data);
            items[count].data = data;
            items[count].size = e->size;
            items[count].packed = nullptr;
            ++count;
        }
        if (rc == kExitOk && PackStreams(&pack, items, count, done, total) != 0) {
            rc = Fail(kExitUsage, nullptr, "compression failed (out of memory?)");
        }
        for (size_t i = first, k = 0; i < end && rc == kExitOk; ++i) {
            bool dir = list->items[i].group == kGroupDir;
            rc = WriteRecord(opt, &list->items[i], dir ? nullptr : &items[k], out, length, stats);
            if (!dir) ++k;
        }
        for (size_t k = 0; k < count; ++k) {
            FreeChecked(const_cast<uint8_t*>(items[k].data));
            FreeChecked(items[k].packed);
        }
        done += bytes;
        first = end;
    }
    FreeChecked(items);
    return rc;
}

static int WriteUpdater(const BuildOptions* opt, const EntryList* list) {
    FILE* out = OpenHostFile(opt->out, "w+b");
    if (!out) return Fail(kExitUsage, opt->out, "cannot create: %s", strerror(errno));
    uint64_t length = 0;
    int rc = CopyStub(opt, out, &length);
    uint32_t start = static_cast<uint32_t>(length);
    if (rc == kExitOk && length >= kPayloadSizeLimit) rc = Fail(kExitBadInput, opt->stub, "the stub is 2 GiB or more");
    BuildStats stats = {0, 0, 0};
    if (rc == kExitOk) rc = WriteRecords(opt, list, out, &length, &stats);
    if (rc == kExitOk) {
        // The end marker, two zero bytes, then padding so that code signing adds none after the trailer.
        uint8_t tail[kPayloadEndBytes + 8 + kPayloadTrailerBytes] = {};
        size_t n = kPayloadEndBytes + GetPayloadPadding(length + kPayloadEndBytes);
        PutLe32(tail + n, start);
        if (WriteBytes(out, tail, n + kPayloadTrailerBytes, &length) != 0) rc = Fail(kExitUsage, opt->out, "write failed");
    }
    // A right checksum lets a signature be removed down to these very bytes.
    if (rc == kExitOk && UpdatePeChecksum(out) < 0) rc = Fail(kExitUsage, opt->out, "write failed: %s", strerror(errno));
    if (fclose(out) != 0 && rc == kExitOk) rc = Fail(kExitUsage, opt->out, "write failed: %s", strerror(errno));
    if (rc != kExitOk) {
        RemoveHostFile(opt->out);
        return rc;
    }
    size_t folders = list->count - stats.files - stats.unchanged;
    printf("%s: %zu files, %zu folders, %llu bytes (payload from offset %u)\n", opt->out, stats.files, folders,
           static_cast<unsigned long long>(length), start);
    if (opt->baseCount > 0) {
        printf("%s: %zu deltas; %zu files unchanged in every base left out%s\n", opt->out, stats.deltas, stats.unchanged,
               opt->keepUnchanged ? " (--keep-unchanged: none)" : "");
    }
    return kExitOk;
}

static bool IsHostFile(const char* path) {
    HostFileInfo info;
    return GetHostFileInfo(path, true, &info) == 0 && info.isFile;
}

// Without --stub: vnupdate.exe beside vnpack (as the release ships them), else the program the
// Windows build of this tree made (VN_BUILT_STUB, empty where there is none).
static int FindStub(char* stubBuf, size_t stubSize) {
    char dir[kHostPathBytes];
    if (GetHostProgramDir(dir, sizeof dir) == 0 &&
        FormatStr(stubBuf, stubSize, "%s%cvnupdate.exe", dir, GetHostPathSep()) == 0 && IsHostFile(stubBuf)) {
        return kExitOk;
    }
    static const char kBuilt[] = VN_BUILT_STUB;
    if (kBuilt[0] && IsHostFile(kBuilt) && CopyStr(stubBuf, stubSize, kBuilt) == 0) return kExitOk;
    return Fail(kExitUsage, nullptr, "no vnupdate.exe beside vnpack%s%s; pass --stub PATH", kBuilt[0] ? " nor at " : "",
                kBuilt);
}

static int ParseBuildArgs(int argc, char** argv, BuildOptions* opt, char* stubBuf, size_t stubSize) {
    memset(opt, 0, sizeof *opt);
    opt->level = 10;
    opt->threads = GetDefaultPackThreads();
    for (int i = 0; i < argc; ++i) {
        const char* a = argv[i];
        bool hasValue = i + 1 < argc;
        int took = ParseSignOption(argc, argv, &i, &opt->sign);
        if (took < 0) return UsageError("build");
        if (took > 0) continue;
        if (strcmp(a, "-o") == 0 && hasValue) {
            opt->out = argv[++i];
        } else if (strcmp(a, "--stub") == 0 && hasValue) {
            opt->stub = argv[++i];
        } else if (strcmp(a, "--follow-links") == 0) {
            opt->followLinks = true;
        } else if (strcmp(a, "--add-stop-folder") == 0 && hasValue) {
            opt->stopFolder = argv[++i];
        } else if (strcmp(a, "--base") == 0 && hasValue) {
            if (opt->baseCount == kMaxBases) return Fail(kExitUsage, nullptr, "at most %zu --base folders", kMaxBases);
            opt->bases[opt->baseCount++] = argv[++i];
        } else if (strcmp(a, "--fallback-whole") == 0) {
            opt->fallbackWhole = true;
        } else if (strcmp(a, "--keep-unchanged") == 0) {
            opt->keepUnchanged = true;
        } else if (strcmp(a, "--force") == 0) {
            opt->force = true;
        } else if (strcmp(a, "--best") == 0) {
            opt->best = true;
        } else if (strcmp(a, "--threads") == 0 && hasValue) {
            char* end;
            long threads = strtol(argv[++i], &end, 10);
            if (*end || threads < 1 || threads > 64) return Fail(kExitUsage, nullptr, "--threads takes 1 to 64");
            opt->threads = static_cast<int>(threads);
        } else if (strcmp(a, "--level") == 0 && hasValue) {
            char* end;
            long level = strtol(argv[++i], &end, 10);
            if (*end || level < 0 || level > 12) return Fail(kExitUsage, nullptr, "--level takes 0 (store) to 12");
            opt->level = static_cast<int>(level);
        } else if (a[0] != '-' && !opt->dir) {
            opt->dir = a;
        } else {
            return UsageError("build");
        }
    }
    if (!opt->dir || !opt->out || ((opt->sign.passwordEnv || opt->sign.timestampUrl) && !opt->sign.pkcs12)) {
        return UsageError("build");
    }
    if ((opt->fallbackWhole || opt->keepUnchanged) && opt->baseCount == 0) return UsageError("build");
    const char* epoch = getenv("SOURCE_DATE_EPOCH");
    if (epoch && *epoch) {
        char* end;
        long long value = strtoll(epoch, &end, 10);
        if (*end || value < 0) return Fail(kExitUsage, nullptr, "SOURCE_DATE_EPOCH is not a count of seconds");
        opt->clamp = true;
        opt->epoch = value;
    }
    if (!opt->stub) {
        int rc = FindStub(stubBuf, stubSize);
        if (rc != kExitOk) return rc;
        opt->stub = stubBuf;
        printf("program: %s\n", opt->stub);
    }
    return kExitOk;
}

int RunBuild(int argc, char** argv) {
    BuildOptions opt;
    char stub[kHostPathBytes];
    EntryList list = {nullptr, 0, 0};
    int rc = ParseBuildArgs(argc, argv, &opt, stub, sizeof stub);
    if (rc == kExitOk) rc = ScanBuildTree(opt.dir, opt.clamp, opt.epoch, opt.followLinks, &list);
    if (rc == kExitOk && opt.stopFolder) rc = AddStopFolder(opt.stopFolder, &list);
    if (rc == kExitOk) rc = SortBuildEntries(&list);
    if (rc == kExitOk) rc = CheckSetupWalk(&opt, &list);
    if (rc == kExitOk) rc = WriteUpdater(&opt, &list);
    if (rc == kExitOk && opt.sign.pkcs12) rc = SignUpdater(opt.out, &opt.sign);
    FreeChecked(list.items);
    return rc;
}
