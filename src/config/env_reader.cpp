#include "config/env_reader.h"

void OpenEnvFile(EnvReader* reader, FILE* file) {
    *reader = EnvReader{};
    reader->file = file;
    reader->pushed = -1;
    reader->line = 1;
}

void OpenEnvBytes(EnvReader* reader, const void* data, size_t size) {
    *reader = EnvReader{};
    reader->data = static_cast<const unsigned char*>(data);
    reader->size = size;
    reader->pushed = -1;
    reader->line = 1;
}

void WatchEnvReader(EnvReader* reader, const EnvObserver* observer) { reader->observer = observer; }

void TellEnvObserver(const EnvReader* reader, EnvEvent* event) {
    if (!reader->observer) return;
    event->line = reader->lastLine;
    event->piece = reader->pieces ? reader->pieces - 1 : 0;
    event->pieceInLine = reader->lastPieceInLine;
    reader->observer->notify(reader->observer->ctx, event);
}

// Bytes the input holds after the 0x1A that ended it.
static size_t CountUnread(EnvReader* reader) {
    if (!reader->file) return reader->size - reader->pos;
    long here = ftell(reader->file);
    if (here < 0 || fseek(reader->file, 0, SEEK_END) != 0) return 0;
    long end = ftell(reader->file);
    return end > here ? static_cast<size_t>(end - here) : 0;
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
        reader->eofByte = c == 0x1A;
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
    if (len == 0) {
        if (reader->observer && !reader->endTold) {
            reader->endTold = true;
            EnvEvent e = {};
            e.kind = kEnvInputEnded;
            e.eofByte = reader->eofByte;
            if (e.eofByte) e.unread = CountUnread(reader);
            reader->lastLine = reader->line;
            reader->lastPieceInLine = reader->pieceInLine;
            TellEnvObserver(reader, &e);
        }
        return 0;
    }
    reader->lastLine = reader->line;
    reader->lastPieceInLine = reader->pieceInLine;
    ++reader->pieces;
    bool endsLine = buf[len - 1] == '\n';
    if (endsLine) {
        ++reader->line;
        reader->pieceInLine = 0;
    } else {
        ++reader->pieceInLine;
    }
    if (reader->observer) {
        EnvEvent e = {};
        e.kind = kEnvPieceRead;
        e.text = buf;
        e.len = len;
        e.endsLine = endsLine;
        TellEnvObserver(reader, &e);
    }
    return len;
}
