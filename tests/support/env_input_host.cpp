#include "env_input.h"

#include <gtest/gtest.h>
#include <unistd.h>

#include <cstring>

#include "config/sections.h"
#include "config/settings.h"

EnvInput::EnvInput(bool fromFile, std::string b) : bytes(std::move(b)) {
    if (fromFile) {
        file = tmpfile();
        fwrite(bytes.data(), 1, bytes.size(), file);
        rewind(file);
        OpenEnvFile(&reader, file);
    } else {
        OpenEnvBytes(&reader, bytes.data(), bytes.size());
    }
}

EnvInput::~EnvInput() {
    if (file) fclose(file);
}

std::vector<std::string> ReadPieces(EnvReader* reader, bool* terminated) {
    std::vector<std::string> pieces;
    char buf[kEnvLineBytes];
    size_t len;
    *terminated = true;
    while ((len = ReadEnvLine(reader, buf)) != 0) {
        if (buf[len] != '\0') *terminated = false;
        pieces.emplace_back(buf, len);
    }
    return pieces;
}

static std::string Shown(const char* text) {
    if (!text) return "";
    size_t len = strlen(text);
    return len > 20 ? "#" + std::to_string(len) : std::string(text);
}

static void Note(void* ctx, const EnvEvent* e) {
    static const char* const kSettingKinds[] = {"end", "comment", "indented", "novalue", "far", "entry"};
    static const char* const kSectionKinds[] = {"skip", "stop", "close", "header", "raw"};
    std::string* trace = static_cast<std::string*>(ctx);
    std::string what;
    switch (e->kind) {
    case kEnvPieceRead:
        if (e->pieceInLine == 0) return;
        what = "cut";
        break;
    case kEnvInputEnded: what = e->eofByte ? "end^Z+" + std::to_string(e->unread) : "end"; break;
    case kSettingStored: what = Shown(e->key) + "=" + Shown(e->value); break;
    case kSettingSkipped: what = std::string("skip ") + kSettingKinds[e->how] + " " + Shown(e->key); break;
    case kSettingsEnded: what = e->how == kSettingsEndMarker ? "ended [EOF]" : "ended 400"; break;
    case kSettingUnread: what = std::string("unread ") + kSettingKinds[e->how] + " " + Shown(e->key); break;
    case kSectionOpened: what = std::string("open ") + SectionName(e->section); break;
    case kSectionClosed: what = std::string("close ") + SectionName(e->section); break;
    case kSectionLineKept: what = std::string("keep ") + SectionName(e->section) + " " + Shown(e->text); break;
    case kSectionLineDropped: what = "drop " + Shown(e->text); break;
    case kSectionLineSkipped: what = "skip"; break;
    case kSectionsEnded: what = "stop"; break;
    case kSectionUnread: what = std::string("unread ") + kSectionKinds[e->how] + " " + SectionName(e->section); break;
    }
    if (!trace->empty()) *trace += ", ";
    *trace += std::to_string(e->line) + " " + what;
}

std::string TraceSettings(EnvInput* in) {
    std::string trace;
    EnvObserver observer = {Note, &trace};
    WatchEnvReader(&in->reader, &observer);
    EXPECT_EQ(ParseSettings(&in->reader), 0);
    return trace;
}

std::string TraceSections(EnvInput* in) {
    std::string trace;
    EnvObserver observer = {Note, &trace};
    WatchEnvReader(&in->reader, &observer);
    int open;
    ParseSections(&in->reader, &open);
    return trace;
}

std::string DumpSectionLists() {
    std::string out;
    for (int i = 0; i < kSectionCount; ++i) {
        const SectionLine* line = GetSectionList(i);
        if (!line) continue;
        out += std::string(SectionName(i)) + "{";
        for (; line; line = line->next) out += std::string(line->text) + (line->next ? "|" : "");
        out += "}";
    }
    return out;
}

VerbRun RunEnvVerbOn(int (*verb)(int, char**), const std::string& bytes, const std::vector<std::string>& extra) {
    char path[] = "/tmp/vnpack_env_XXXXXX";
    int fd = mkstemp(path);
    EXPECT_GE(fd, 0);
    EXPECT_EQ(write(fd, bytes.data(), bytes.size()), static_cast<ssize_t>(bytes.size()));
    close(fd);
    std::vector<std::string> args{path};
    args.insert(args.end(), extra.begin(), extra.end());
    VerbRun run = RunVerb(verb, args);
    unlink(path);
    return run;
}
