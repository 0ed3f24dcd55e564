#pragma once
// install.env as both configuration readers see it: text mode done by hand on raw bytes, so every
// platform reads the same pieces. CR LF arrives as LF, a byte 0x1A ends the file, and a line comes
// in pieces of at most 511 bytes (what a 512-byte line buffer takes), each a line of its own.
#include <cstddef>
#include <cstdio>

constexpr size_t kEnvLineBytes = 512;

// What the readers tell a watcher (vnpack env explains a file this way, without rules of its own).
// Every event is about the piece read last.
enum EnvEventKind {
    kEnvPieceRead,        // text, len: the piece as read; pieceInLine > 0: its line was cut before it
    kEnvInputEnded,       // no piece; eofByte: a 0x1A ended the input, with `unread` bytes after it
    kSettingStored,       // key, value: the entry made, "|" already replaced
    kSettingSkipped,      // how: the SettingLineKind that dropped the piece; key: its first word, if any
    kSettingsEnded,       // how: a SettingsEnd; the piece is "[EOF]", or the first past the limit
    kSettingUnread,       // a piece after the end: how, key and value as SplitSettingLine takes it
    kSectionOpened,       // section
    kSectionClosed,       // section: the one that was open, or -1
    kSectionLineKept,     // text: the trimmed line, stored in section
    kSectionLineDropped,  // text: a raw line while no section is open
    kSectionLineSkipped,  // text: empty, "//" or ";"
    kSectionsEnded,       // a line beginning with "EOF": the section reading stops here
    kSectionUnread,       // a line after that stop; how: its SectionLineKind, section for a header
};

struct EnvEvent {
    int kind;
    int line;         // the file's line the piece belongs to, from 1
    size_t piece;     // the piece's index in the file, from 0
    int pieceInLine;  // from 0
    bool endsLine;    // the piece ends with LF
    const char* text;
    size_t len;
    const char* key;
    const char* value;
    int how;
    int section;
    bool eofByte;
    size_t unread;
};

struct EnvObserver {
    void (*notify)(void* ctx, const EnvEvent* event);
    void* ctx;
};

struct EnvReader {
    FILE* file;  // read from here when set, else from data
    const unsigned char* data;
    size_t size;
    size_t pos;
    int pushed;                   // byte read ahead after a CR, or -1
    bool ended;                   // 0x1A or the end of the input was met
    bool eofByte;                 // ended at a 0x1A
    const EnvObserver* observer;  // null: nobody watches
    bool endTold;
    int line;  // where the next piece begins
    int pieceInLine;
    size_t pieces;
    int lastLine;  // the piece read last
    int lastPieceInLine;
};

// Starts reading an open stream (opened in binary mode) or a block of bytes held by the caller.
void OpenEnvFile(EnvReader* reader, FILE* file);
void OpenEnvBytes(EnvReader* reader, const void* data, size_t size);

// Lets observer hear what the reader and the reader's user do (null: nobody). A watched reader
// also reads on past where its user stops, to say how it would have taken the rest.
void WatchEnvReader(EnvReader* reader, const EnvObserver* observer);

// Reads the next piece into buf (kEnvLineBytes bytes): at most 511 bytes up to and including LF,
// then a terminator. Returns the piece's length, 0 at the end of the file. Bytes of buf past the
// terminator are left as they were.
size_t ReadEnvLine(EnvReader* reader, char* buf);

// For the readers: tells the watcher, if any, event about the piece read last.
void TellEnvObserver(const EnvReader* reader, EnvEvent* event);
