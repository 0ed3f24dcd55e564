#include "vnpack/pack_scan.h"

#include <cerrno>
#include <cstdio>
#include <cstdlib>
#include <cstring>

#include "common/alloc.h"
#include "common/grow_array.h"
#include "common/sjis.h"
#include "common/str_util.h"
#include "vnpack/cp932_text.h"
#include "vnpack/host.h"
#include "vnpack/pack_times.h"
#include "vnpack/vnpack.h"

static const size_t kNameWarnBytes = 159;  // leaves under 100 bytes for the install folder

struct ScanOptions {
    const char* dir;
    bool clamp;
    int64_t epoch;
    bool followLinks;
    char root[kHostPathBytes];  // the tree's real path, which followed links must stay inside
};

// The real paths of the folders being scanned, innermost first: a followed link back to one of
// them would be packed without end.
struct FolderChain {
    const char* real;
    const FolderChain* outer;
};

static BuildEntry* AddEntry(EntryList* list) {
    void* items = list->items;
    if (GrowArray(&items, list->count, &list->capacity, sizeof(BuildEntry)) != 0) return nullptr;
    list->items = static_cast<BuildEntry*>(items);
    BuildEntry* e = &list->items[list->count++];
    memset(e, 0, sizeof *e);
    return e;
}

static int CompareEntries(const void* a, const void* b) {
    const BuildEntry* x = static_cast<const BuildEntry*>(a);
    const BuildEntry* y = static_cast<const BuildEntry*>(b);
    if (x->group != y->group) return x->group - y->group;
    return strcmp(x->name, y->name);  // bytes compare unsigned, so a parent sorts before its children
}

static bool HasEntry(const EntryList* list, const char* name) {
    for (size_t i = 0; i < list->count; ++i) {
        if (strcmp(list->items[i].name, name) == 0) return true;
    }
    return false;
}

// Characters Windows does not allow in a file name; '\' would also split the record's name.
static bool HasForbiddenChar(const char* cp932) {
    for (const char* p = cp932; *p; p = SjisNext(p)) {
        unsigned char c = static_cast<unsigned char>(*p);
        if (c < 0x20 || strchr("\\/:*?\"<>|", c)) return true;
    }
    return false;
}

// A link travels to every player as what it points to, so it is packed only when asked, and only
// when it stays inside the tree: a link to a private file elsewhere must never be shipped.
static int CheckLink(const ScanOptions* opt, const char* path, const FolderChain* chain) {
    if (!opt->followLinks) return Fail(kExitBadInput, path, "a symbolic link; --follow-links packs what it points to");
    char target[kHostPathBytes];
    if (GetHostRealPath(path, target, sizeof target) != 0) {
        return Fail(kExitBadInput, path, "a symbolic link that leads nowhere: %s", strerror(errno));
    }
    size_t n = strlen(opt->root);
    char sep = GetHostPathSep();
    bool inside = strncmp(target, opt->root, n) == 0 && (target[n] == '\0' || target[n] == sep || opt->root[n - 1] == sep);
    if (!inside) return Fail(kExitBadInput, path, "a symbolic link to %s, outside %s", target, opt->dir);
    for (const FolderChain* c = chain; c; c = c->outer) {
        if (strcmp(c->real, target) == 0) return Fail(kExitBadInput, path, "a symbolic link to a folder that holds it");
    }
    return kExitOk;
}

// Adds the entry for one directory item and, for a folder, everything below it.
static int ScanFolder(const ScanOptions* opt, const char* hostDir, const char* prefix, const FolderChain* chain,
                      EntryList* list);

static int ScanItem(const ScanOptions* opt, const char* hostDir, const char* prefix, const FolderChain* chain,
                    const char* item, EntryList* list) {
    char path[kHostPathBytes];
    char cp932[kPayloadNameBytes * 2];
    char name[kPayloadNameBytes * 3];
    HostFileInfo st;
    if (FormatStr(path, sizeof path, "%s%c%s", hostDir, GetHostPathSep(), item) != 0) {
        return Fail(kExitBadInput, hostDir, "path too long");
    }
    if (GetHostFileInfo(path, false, &st) != 0) return Fail(kExitBadInput, path, "%s", strerror(errno));
    if (st.isLink) {
        int rc = CheckLink(opt, path, chain);
        if (rc != kExitOk) return rc;
        if (GetHostFileInfo(path, true, &st) != 0) return Fail(kExitBadInput, path, "%s", strerror(errno));
    }
    if (ConvertUtf8ToCp932(item, cp932, sizeof cp932) != 0) {
        return Fail(kExitBadInput, path, "the name cannot be written in CP932 (code page 932)");
    }
    if (HasForbiddenChar(cp932)) return Fail(kExitBadInput, path, "the name holds a character Windows does not allow");
    bool isDir = st.isDir;
    if (!isDir && !st.isFile) return Fail(kExitBadInput, path, "not a regular file or folder");
    FormatStr(name, sizeof name, "%s%s%s", prefix, cp932, isDir ? "\\" : "");
    size_t len = strlen(name);
    if (len >= kPayloadNameBytes) {
        return Fail(kExitBadInput, path, "the name is %zu bytes in CP932, over 259", len);
    }
    int check = CheckPayloadName(name);
    if (check != kPayloadOk)
        return Fail(kExitBadInput, path, "the updater would refuse this name: %s", DescribePayloadError(check));
    if (len >= kNameWarnBytes) {
        fprintf(stderr, "vnpack: warning: %s: the name is %zu bytes, leaving less than 100 for the install folder\n", path,
                len);
    }
    if (!isDir && st.size >= kPayloadSizeLimit) {
        return Fail(kExitBadInput, path, "a file of 2 GiB or more cannot be packed");
    }
    BuildEntry* e = AddEntry(list);
    if (!e) return kExitUsage;
    CopyStr(e->name, sizeof e->name, name);
    CopyStr(e->path, sizeof e->path, path);
    if (isDir) {
        e->group = kGroupDir;
        char real[kHostPathBytes];
        FolderChain inner = {opt->followLinks ? real : nullptr, chain};
        if (opt->followLinks && GetHostRealPath(path, real, sizeof real) != 0) {
            return Fail(kExitBadInput, path, "%s", strerror(errno));
        }
        return ScanFolder(opt, path, name, &inner, list);  // e may move; it is not used after this
    }
    e->group = prefix[0] ? kGroupInnerFile : kGroupTopFile;
    e->size = st.size;
    uint64_t epoch = GetFileTimeFromUnix(opt->epoch, 0);
    e->time = opt->clamp && st.time >= epoch ? epoch : st.time;
    return kExitOk;
}

struct ScanContext {
    const ScanOptions* opt;
    const char* hostDir;
    const char* prefix;
    const FolderChain* chain;
    EntryList* list;
};

static int ScanName(void* ctx, const char* item) {
    const ScanContext* c = static_cast<const ScanContext*>(ctx);
    return ScanItem(c->opt, c->hostDir, c->prefix, c->chain, item, c->list);
}

static int ScanFolder(const ScanOptions* opt, const char* hostDir, const char* prefix, const FolderChain* chain,
                      EntryList* list) {
    ScanContext ctx = {opt, hostDir, prefix, chain, list};
    int rc = ListHostFolder(hostDir, ScanName, &ctx);
    if (rc == -1) return Fail(kExitBadInput, hostDir, "%s", strerror(errno));
    return rc;
}

int AddStopFolder(const char* arg, EntryList* list) {
    char cp932[kPayloadNameBytes];
    char names[2][kPayloadNameBytes];
    if (ConvertUtf8ToCp932(arg, cp932, sizeof cp932 - 2) != 0) {
        return Fail(kExitUsage, arg, "the folder name cannot be written in CP932");
    }
    SjisReplaceChar(cp932, '/', '\\');
    size_t len = strlen(cp932);
    if (len && SjisFindLastChar(cp932, '\\') == cp932 + len - 1) cp932[len - 1] = '\0';
    const char* sep = SjisFindChar(cp932, '\\');
    if (!sep || sep == cp932 || sep[1] == '\0' || SjisFindChar(sep + 1, '\\')) {
        return Fail(kExitUsage, arg, "--add-stop-folder takes NAME\\SUB");
    }
    CopyBytes(names[0], sizeof names[0], cp932, static_cast<size_t>(sep - cp932) + 1);
    FormatStr(names[1], sizeof names[1], "%s\\", cp932);
    for (const char* name : names) {
        if (CheckPayloadName(name) != kPayloadOk) return Fail(kExitUsage, arg, "the updater would refuse this folder name");
        if (HasEntry(list, name)) continue;
        BuildEntry* e = AddEntry(list);
        if (!e) return kExitUsage;
        CopyStr(e->name, sizeof e->name, name);
        CopyStr(e->path, sizeof e->path, arg);
        e->group = kGroupDir;
    }
    return kExitOk;
}

static int CompareNamesNoCase(const void* a, const void* b) {
    return SjisCompareNoCase((*static_cast<const BuildEntry* const*>(a))->name,
                             (*static_cast<const BuildEntry* const*>(b))->name);
}

// Windows file names do not regard case, so "A.dat" and "a.dat" would land on one file.
static int CheckCaseClashes(const EntryList* list) {
    if (list->count < 2) return kExitOk;
    const BuildEntry** sorted = static_cast<const BuildEntry**>(AllocChecked(list->count * sizeof(BuildEntry*)));
    if (!sorted) return kExitUsage;
    for (size_t i = 0; i < list->count; ++i) sorted[i] = &list->items[i];
    qsort(sorted, list->count, sizeof *sorted, CompareNamesNoCase);
    int rc = kExitOk;
    for (size_t i = 1; i < list->count && rc == kExitOk; ++i) {
        if (SjisCompareNoCase(sorted[i - 1]->name, sorted[i]->name) == 0) {
            rc = Fail(kExitBadInput, sorted[i]->path, "differs from %s only in case; Windows would keep one of them",
                      sorted[i - 1]->path);
        }
    }
    FreeChecked(sorted);
    return rc;
}

int ScanBuildTree(const char* dir, bool clamp, int64_t epoch, bool followLinks, EntryList* list) {
    ScanOptions opt = {dir, clamp, epoch, followLinks, {}};
    if (followLinks && GetHostRealPath(dir, opt.root, sizeof opt.root) != 0)
        return Fail(kExitBadInput, dir, "%s", strerror(errno));
    FolderChain top = {opt.root, nullptr};
    return ScanFolder(&opt, dir, "", followLinks ? &top : nullptr, list);
}

int SortBuildEntries(EntryList* list) {
    if (list->count) qsort(list->items, list->count, sizeof(BuildEntry), CompareEntries);
    return CheckCaseClashes(list);
}
