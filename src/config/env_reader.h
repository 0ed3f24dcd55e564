#pragma once
// install.env as both configuration readers see it: text mode done by hand on raw bytes, so every
// platform reads the same pieces. CR LF arrives as LF, a byte 0x1A ends the file, and a line comes
// in pieces of at most 511 bytes (what a 512-byte line buffer takes), each a line of its own.
#include <cstddef>
#include <cstdio>

constexpr size_t kEnvLineBytes = 512;

struct EnvReader {
    FILE* file;                 // read from here when set, else from data
    const unsigned char* data;
    size_t size;
    size_t pos;
    int pushed;                 // byte read ahead after a CR, or -1
    bool ended;                 // 0x1A or the end of the input was met
};

// Starts reading an open stream (opened in binary mode) or a block of bytes held by the caller.
void OpenEnvFile(EnvReader* reader, FILE* file);
void OpenEnvBytes(EnvReader* reader, const void* data, size_t size);

// Reads the next piece into buf (kEnvLineBytes bytes): at most 511 bytes up to and including LF,
// then a terminator. Returns the piece's length, 0 at the end of the file. Bytes of buf past the
size_t ReadEnvLine(EnvReader* reader, char* buf);
