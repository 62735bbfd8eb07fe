// UU decoding of a whole file, and the line decoder behind it.
#pragma once

#include <cstdint>

#include "uu/uu_stream.h"

// Decodes the UU file at path into a file named as its header says, in the
// folder of path.  text_first is the read mode of the first attempt (every
// caller passes 1); the mode word of the header settles it.  name_buffer holds
// path's final path component on entry (its length is cut from path to find
// the folder) and the header's name on success (cut to 127 characters).  A
// header name that is not a plain file name (uu_plain_name) is refused and
// nothing is written.  szTargetFilename holds the decoded file's path once it
// is formed.
// Returns:
//   0  done
//   1  the user declined a question, or the data ended early (reported)
//  -1  failed (reported), or a null or empty argument (not reported)
//  -2  an existing target could not be wiped (reported)
//  -4  the target could not be created (reported)
int iUUDecode(const char* path, int16_t text_first, char* name_buffer);

// Set by iUUDecode when its result 1 means that the data ended early (the
// 'Short' message), cleared on every other end.
extern bool uu_decode_was_short;

// Results of decode.
enum {
    UU_DECODE_DONE = 0,           // the zero-length (or an empty) line ended the data
    UU_DECODE_SHORT = -1,         // the input ended first; shown under "... ERROR: decode"
    UU_DECODE_READ_FAILED = -2,   // reading the input failed (not shown)
    UU_DECODE_WRITE_FAILED = -3,  // writing the output failed (not shown)
};

// Decodes data lines (at most 128 characters each) from in to out until the
// line that ends the data.
int decode(UuStream& in, UuStream& out);
