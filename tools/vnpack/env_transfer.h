#pragma once
// vnpack env: what the [ini] and [reg] lines will write, worked out by the updater's own transforms
// with a sample install folder, and why a line would be skipped.
#include <cstddef>
#include <cstdio>

#include "config/sections.h"

constexpr const char kSampleInstallDir[] = "C:\\Games\\Sample";

// A warning (UTF-8) for a line of the [ini] or [reg] section that the updater skips with the
// folder installDir (CP932), or would skip with a longer folder of up to 259 bytes. Returns true
// when there is one.
bool DescribeTransferSkip(int section, const char* line, const char* installDir, char* warning, size_t warningSize);

// The preview of both sections as they stand in the loaded lists and settings.
void PrintTransferPreview(FILE* out, const char* installDir);
// The same as the value of a JSON member, starting at the current position.
void PrintTransferPreviewJson(FILE* out, const char* installDir);
