// Runs the staged extraction over arbitrary payloads on an empty folder kept in memory. Aborts when a
// commit leaves any file away from its destination, or a failure leaves anything behind.
#include <cctype>
#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <map>
#include <string>

#include "common/alloc.h"
#include "payload/extract.h"
#include "payload/staging.h"

namespace {

struct Node {
    int kind;
    std::string content;  // a file holds the destination it was written for
};

struct Folder {
    std::map<std::string, Node> nodes;  // keys fold ASCII case, as the game's file system does
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

// As on Windows, a folder is made only inside one that exists.
int MakeDir(void* ctx, const char* path) {
    auto& nodes = static_cast<Folder*>(ctx)->nodes;
    std::string key = Key(path);
    size_t sep = key.rfind('\\');
    if (nodes.count(key) || (key.substr(0, sep) != "c:\\g" && !nodes.count(key.substr(0, sep)))) return -1;
    nodes[Key(path)] = {kStageFolder, ""};
    return 0;
}

int OpenExclusive(void*, const char*) { return 0; }

// The journal lives as a file of the folder too; its content is its text.
int Append(void* ctx, const char* path, const char* bytes, size_t n) {
    auto& nodes = static_cast<Folder*>(ctx)->nodes;
    Node& node = nodes[Key(path)];
    node.kind = kStageFile;
    node.content.append(bytes, n);
    return 0;
}

int Load(void* ctx, const char* path, size_t, char** bytes, size_t* n) {
    auto& nodes = static_cast<Folder*>(ctx)->nodes;
    auto it = nodes.find(Key(path));
    if (it == nodes.end()) return -1;
    *bytes = static_cast<char*>(AllocChecked(it->second.content.size() + 1));
    memcpy(*bytes, it->second.content.data(), it->second.content.size());
    *n = it->second.content.size();
    return 0;
}

const StageFs kOps = {Kind, Rename, RemoveFile, RemoveDir, MakeDir, OpenExclusive, Append, Load};

// The platform's side: a file holds the destination it was written for, which the temporary
// name's record in the journal tells.
int OpenFile(void* ctx, const char* path, const PayloadRecord* rec) {
    Folder* f = static_cast<Folder*>(ctx);
    if (f->nodes.count(Key(path))) abort();  // a temporary name must be free
    f->nodes[Key(path)] = {kStageFile, Key((std::string("C:\\G\\") + rec->name).c_str())};
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
    const ExtractOps ops = {nullptr, OpenFile, nullptr, CloseFile, nullptr, nullptr, nullptr, nullptr};
    ExtractResult result;
    int rc = OpenPayloadReader(file, &reader);
    if (rc == 0) rc = RunStagedExtraction(&reader, "C:\\G", &kOps, &folder, &ops, &folder, data[0] * 0x1111u, &result);
    // A failure leaves nothing, the journal included; a success leaves every file where it belongs.
    if (rc != 0 && !folder.nodes.empty()) abort();
    if (rc == 0) {
        for (const auto& kv : folder.nodes) {
            if (kv.second.kind == kStageFile && kv.second.content != kv.first) abort();
        }
    }
    fclose(file);
    return 0;
}
