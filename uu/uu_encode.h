// UU encoding of a whole file.
#pragma once

#include <cstdint>

// Encodes the file at path into a UU file beside it: text mode (text_mode
// non-zero) writes "begin 666" and CR LF line ends under the extension "uut"
// ("uet" when encrypted is non-zero), binary mode "begin 777" and LF line ends
// under "uub".  The header names the source's final path component, which is
// also left in szFileTitle; the target path is left in szTargetFilename.  The
// encoded file gets the source's times and attributes, read-only added when
// read_only is non-zero; the source gets them back.
// path must be writable (it is reversed and restored while names are derived).
// Returns:
//   0  done
//   1  the user declined a question, or the target's attributes could not be
//      set (reported)
//  -1  failed (reported), or the path is null or empty (not reported)
int iUUEncode(char* path, int16_t text_mode, int16_t encrypted, int16_t read_only);
