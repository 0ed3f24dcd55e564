// Runs the staged extraction over arbitrary payloads on an empty folder kept in memory. Aborts when a
// commit leaves any file away from its destination, or a failure leaves anything behind.
#include <cctype>
#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <map>
#include <string>

#include "payload/extract.h"
#include "payload/staging.h"

namespace {

struct Node {
    int kind;
    std::string content;  // a file holds the destination it was written for
};

struct Folder {
    std::map<std::string, Node> nodes;  // keys fold ASCII case, as the game's file system does
    StageJournal* journal;
};

std::string Key(const char* path) {
    std::string k = path;
    for (char& c : k) c = static_cast<char>(tolower(static_cast<unsigned char>(c)));
    if (!k.empty() && k.back() == '\\') k.pop_back();  // a folder record's name ends in one
    return k;
}

int Kind(void* ctx, const char* path, bool* readOnly) {
    auto& nodes = static_cast<Folder*>(ctx)->nodes;
    auto it = nodes.find(Key(path));
    *readOnly = false;
    return it == nodes.end() ? kStageMissing : it->second.kind;
}

int Rename(void* ctx, const char* from, const char* to) {
    auto& nodes = static_cast<Folder*>(ctx)->nodes;
    auto it = nodes.find(Key(from));
    if (it == nodes.end() || it->second.kind != kStageFile || nodes.count(Key(to))) return -1;
    Node n = it->second;
    nodes.erase(it);
    nodes[Key(to)] = n;
    return 0;
}

int RemoveFile(void* ctx, const char* path) {
    auto& nodes = static_cast<Folder*>(ctx)->nodes;
    auto it = nodes.find(Key(path));
    if (it == nodes.end() || it->second.kind != kStageFile) return -1;
    nodes.erase(it);
    return 0;
}

int RemoveDir(void* ctx, const char* path) {
    auto& nodes = static_cast<Folder*>(ctx)->nodes;
    std::string key = Key(path);
    auto it = nodes.find(key);
    if (it == nodes.end() || it->second.kind != kStageFolder) return -1;
    for (const auto& kv : nodes) {
        if (kv.first.compare(0, key.size() + 1, key + "\\") == 0) return -1;
    }
    nodes.erase(it);
    return 0;
}

const StageFs kOps = {Kind, Rename, RemoveFile, RemoveDir};

void CreateDir(void* ctx, const char* path, const PayloadRecord*) {
    Folder* f = static_cast<Folder*>(ctx);
    if (f->nodes.count(Key(path))) return;
    f->nodes[Key(path)] = {kStageFolder, ""};
    if (AddCreatedFolder(f->journal, path) != 0) abort();
}

int OpenFile(void* ctx, const char* path, const PayloadRecord*) {
    Folder* f = static_cast<Folder*>(ctx);
    char temp[kPayloadNameBytes];
    if (AddStagedFile(f->journal, path, temp, sizeof temp) != 0) return -1;
    if (f->nodes.count(Key(temp))) abort();  // a temporary name must be free
    f->nodes[Key(temp)] = {kStageFile, Key(path)};
    return 0;
}

int CloseFile(void*, const char*, const PayloadRecord*, bool ok) { return ok ? 0 : -1; }

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    if (size == 0) return 0;
    FILE* file = fmemopen(const_cast<uint8_t*>(data), size, "rb");
    if (!file) return 0;
    PayloadReader reader;
    Folder folder;
    StageJournal journal;
    folder.journal = &journal;
    InitStageJournal(&journal, &kOps, &folder, data[0] * 0x1111u);
    const ExtractOps ops = {CreateDir, OpenFile, nullptr, CloseFile};
    ExtractResult result;
    int rc = OpenPayloadReader(file, &reader);
    if (rc == 0) rc = CheckStagePaths(&reader, "C:\\G");
    if (rc == 0) rc = OpenPayloadReader(file, &reader);
    if (rc == 0) rc = RunPayloadExtraction(&reader, "C:\\G", kExtractAll, &ops, &folder, &result);
    if (rc == 0) {
        rc = CommitStaged(&journal);
    } else if (RollBackStaged(&journal) != 0) {
        abort();
    }
    if (rc != 0 && !folder.nodes.empty()) abort();
    if (rc == 0) {
        for (const auto& kv : folder.nodes) {
            if (kv.second.kind == kStageFile && kv.second.content != kv.first) abort();
        }
    }
    FreeStageJournal(&journal);
    fclose(file);
    return 0;
}
