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
