// Reads arbitrary bytes as the journal an interrupted update left in the game folder, and lets the
// next run act on it over a folder kept in memory. Aborts when anything outside the game folder
// changes, when a recovery that reports success leaves the journal, or when a second recovery
// finds anything left to do.
#include <cctype>
#include <cstdint>
#include <cstdlib>
#include <cstring>
#include <map>
#include <string>

#include "common/alloc.h"
#include "payload/staging.h"

namespace {

typedef std::map<std::string, std::string> Files;  // path (case folded) to content; "/" a folder

std::string Key(const char* path) {
    std::string k = path;
    for (char& c : k) c = static_cast<char>(tolower(static_cast<unsigned char>(c)));
    return k;
}

int Kind(void* ctx, const char* path, bool* readOnly) {
    Files& files = *static_cast<Files*>(ctx);
    auto it = files.find(Key(path));
    *readOnly = false;
    if (it == files.end()) return kStageMissing;
    return it->second == "/" ? kStageFolder : kStageFile;
}

int Rename(void* ctx, const char* from, const char* to) {
    Files& files = *static_cast<Files*>(ctx);
    auto it = files.find(Key(from));
    if (it == files.end() || it->second == "/" || files.count(Key(to))) return -1;
    std::string content = it->second;
    files.erase(it);
    files[Key(to)] = content;
    return 0;
}

int RemoveFile(void* ctx, const char* path) {
    Files& files = *static_cast<Files*>(ctx);
    auto it = files.find(Key(path));
    if (it == files.end() || it->second == "/") return -1;
    files.erase(it);
    return 0;
}

int RemoveDir(void* ctx, const char* path) {
    Files& files = *static_cast<Files*>(ctx);
    std::string key = Key(path);
    auto it = files.find(key);
    if (it == files.end() || it->second != "/") return -1;
    for (const auto& kv : files) {
        if (kv.first.compare(0, key.size() + 1, key + "\\") == 0) return -1;
    }
    files.erase(it);
    return 0;
}

int MakeDir(void*, const char*) { return -1; }
int OpenExclusive(void*, const char*) { return 0; }

int Append(void* ctx, const char* path, const char* bytes, size_t n) {
    Files& files = *static_cast<Files*>(ctx);
    std::string& content = files[Key(path)];
    if (content == "/") return -1;
    content.append(bytes, n);
    return 0;
}

int Load(void* ctx, const char* path, size_t maxBytes, char** bytes, size_t* n) {
    Files& files = *static_cast<Files*>(ctx);
    auto it = files.find(Key(path));
    if (it == files.end() || it->second.size() > maxBytes) return -1;
    *bytes = static_cast<char*>(AllocChecked(it->second.size() + 1));
    if (!*bytes) return -1;
    memcpy(*bytes, it->second.data(), it->second.size());
    *n = it->second.size();
    return 0;
}

const StageFs kOps = {Kind, Rename, RemoveFile, RemoveDir, MakeDir, OpenExclusive, Append, Load};

bool Outside(const std::string& key) { return key.compare(0, 5, "c:\\g\\") != 0; }

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    Files files = {
        {"c:\\g", "/"},
        {"c:\\g\\data", "/"},
        {"c:\\g\\new", "/"},
        {"c:\\g\\game.exe", "old exe"},
        {"c:\\g\\data\\a.dat", "old a"},
        {"c:\\g\\~vn00001.tmp", "new exe"},
        {"c:\\g\\data\\~vn00002.tmp", "new a"},
        {"c:\\g\\~vn00003.tmp", "aside"},
        {"c:\\g\\new\\~vn00004.tmp", "new b"},
        {"c:\\x.dat", "outside"},
        {"c:\\g2\\~vn00001.tmp", "beside"},
        {"c:\\~vn00001.tmp", "above"},
    };
    files["c:\\g\\~vnjournal.tmp"] = std::string(reinterpret_cast<const char*>(data), size);
    Files outside;
    for (const auto& kv : files) {
        if (Outside(kv.first)) outside.insert(kv);
    }
    int rc = RecoverStaged(&kOps, &files, "C:\\G", size);
    for (const auto& kv : files) {
        if (Outside(kv.first) && !outside.count(kv.first)) abort();
    }
    for (const auto& kv : outside) {
        auto it = files.find(kv.first);
        if (it == files.end() || it->second != kv.second) abort();
    }
    if (rc == 0) {
        if (files.count("c:\\g\\~vnjournal.tmp")) abort();
        Files after = files;
        if (RecoverStaged(&kOps, &files, "C:\\G", 1) != 0 || files != after) abort();
    }
    return 0;
}
