#pragma once
// The parts of an updater's PE headers that vnpack keeps right: the checksum, and the certificate
// table that signing appends behind the payload.
#include <cstdio>

#include "payload/pe_trailer.h"

// Sets the checksum in the optional header of f (open for reading and writing) to the sum over the
// whole file, as signing tools compute it, so that removing a signature gives back the same bytes.
// Returns 0, 1 when f has no full PE header (left as it is), or -1 when a read or write fails.
int UpdatePeChecksum(FILE* f);

// Writes to out (open for reading and writing, empty) the updater `in` as it is unsigned: without
// its certificate table and the entry naming it, zero bytes after the end marker so that its length
// is a multiple of 8, and its checksum updated. bounds is what FindPayloadBounds found in `in`.
// Returns 0, or -1 when a read or write fails.
int WriteUnsignedUpdater(FILE* in, const PayloadBounds* bounds, FILE* out);

// FindPayloadBounds on an open file. Returns its status.
int FindFileBounds(FILE* f, PayloadBounds* bounds);
