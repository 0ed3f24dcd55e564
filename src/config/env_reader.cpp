#include "config/env_reader.h"

void OpenEnvFile(EnvReader* reader, FILE* file) {
    *reader = EnvReader{};
    reader->file = file;
    reader->pushed = -1;
}

void OpenEnvBytes(EnvReader* reader, const void* data, size_t size) {
    *reader = EnvReader{};
    reader->data = static_cast<const unsigned char*>(data);
    reader->size = size;
    reader->pushed = -1;
}

static int ReadRawByte(EnvReader* reader) {
    if (reader->file) {
        int c = getc(reader->file);
        return c == EOF ? -1 : c;
    }
    return reader->pos < reader->size ? reader->data[reader->pos++] : -1;
}

// One byte as the C runtime's text mode delivers it: only CR LF is folded; a lone CR stays.
static int ReadTextByte(EnvReader* reader) {
    if (reader->ended) return -1;
    int c = reader->pushed;
    reader->pushed = -1;
    if (c < 0) c = ReadRawByte(reader);
    if (c < 0 || c == 0x1A) {
        reader->ended = true;
        return -1;
    }
    if (c == '\r') {
        int next = ReadRawByte(reader);
        if (next == '\n') return '\n';
        reader->pushed = next;
    }
    return c;
}

size_t ReadEnvLine(EnvReader* reader, char* buf) {
    size_t len = 0;
    while (len < kEnvLineBytes - 1) {
        int c = ReadTextByte(reader);
        if (c < 0) break;
        buf[len++] = static_cast<char>(c);
        if (c == '\n') break;
    }
    buf[len] = '\0';
    return len;
}
