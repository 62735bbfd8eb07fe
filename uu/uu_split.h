// Splitting a UU file into numbered part files.
#pragma once

#include <cstdint>

// Cuts the UU file at path into parts named after it with the extensions
// U00, U01, ... (at most 10000 parts).  Each part starts with the header
// "begin 666 NAME SIZE UUNAME split-up number=K" ("begin 777" when the UU file
// is read as raw bytes) and then holds the following lines of the UU file, as
// many as keep its counted size (header + 129 + the lines, in characters as
// read) below max_size.  name_buffer is path's final path component.  Parts
// are written in the UU file's read mode and get its times and attributes.
// szTargetFilename holds the last part name formed.
// Returns:
//   0  done (also when nothing follows the UU header: no part)
//   1  the user declined a question
//  -1  failed or max_size refused (reported), the size of the UU file could
//      not be read (reported by lGetFileSize), or a null or empty argument
//  -2  an existing part could not be wiped (reported)
//  -4  a part could not be created (reported)
int iUUSplitUpFile(const char* path, int16_t text_first, const char* name_buffer, int32_t max_size);

// Default of the maximum part size.
const int32_t UU_SPLIT_DEFAULT_MAX = 5120;
