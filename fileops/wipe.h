// Secure wipe: four flushed passes (0x00, 0x0F, 0xFF, 0x00) over every chunk of
// at most 65500 bytes, cut to length 0, times and attributes zeroed, renamed to
// the one-character name 0xFF in the current directory, deleted.
#pragma once

#include <cstdint>

// Largest work buffer of the wipe.
const uint32_t LQ_WIPE_CHUNK = 65500;

// Returns:
//   0  the file is gone
//  -1  attributes not taken or read-only flag not removed, or the rename failed
//  -3  the file could not be opened
//  -4  its size could not be read
//  -5  no work buffer could be had
//  -6  a write, the cut to length 0 or the final delete failed
//  -7  the time stamps and attributes could not be zeroed
// Failures are shown under "Lockquill(TM) ERROR: iWipeFile" (style 16).
int iWipeFile(const char* path, uint32_t start);
