#pragma once
// One payload written byte by byte from the record table: install.env, data\, data\sub\, a file
// inside, the end marker and its two zero bytes, padding and the trailer. The streams are stored
// deflate blocks, which is what vnpack writes at --level 0, so reader and packer are both held to
// these bytes and cannot share a misreading.
#include <cstdint>
#include <vector>

// One field per line, as the format lays them out.
// clang-format off
inline const std::vector<uint8_t> kGoldenPayload = {
    'M', 'Z', 0, 0,                                      // stub: the payload starts at 4
    12, 0, 'i', 'n', 's', 't', 'a', 'l', 'l', '.', 'e', 'n', 'v', 0,
    2, 0, 0, 0,                                          // size 2
    13, 0, 0, 0,                                         // packed size 13
    0x00, 0x00, 0x40, 0x7E, 0xD5, 0x2E, 0xD9, 0x01,      // 2023-01-23 02:50:46.5175552 UTC
    0x78, 0x01, 0x01, 0x02, 0x00, 0xFD, 0xFF, 'h', 'i', 0x01, 0x3B, 0x00, 0xD2,
    6, 0, 'd', 'a', 't', 'a', '\\', 0,
    0xFF, 0xFF, 0xFF, 0xFF, 0, 0, 0, 0,                  // directory, packed size 0
    10, 0, 'd', 'a', 't', 'a', '\\', 's', 'u', 'b', '\\', 0,
    0xFF, 0xFF, 0xFF, 0xFF, 0, 0, 0, 0,
    15, 0, 'd', 'a', 't', 'a', '\\', 's', 'u', 'b', '\\', 'x', '.', 'd', 'a', 't', 0,
    3, 0, 0, 0,
    14, 0, 0, 0,
    0x00, 0x80, 0xFF, 0x44, 0xD1, 0x38, 0xC1, 0x01,      // 2001-09-09 01:46:40 UTC
    0x78, 0x01, 0x01, 0x03, 0x00, 0xFC, 0xFF, 'a', 'b', 'c', 0x02, 0x4D, 0x01, 0x27,
    0, 0, 0, 0,                                          // end marker and two zero bytes
    0, 0, 0, 0, 0, 0,                                    // padding to a multiple of 8
    4, 0, 0, 0,                                          // trailer
};
// clang-format on
