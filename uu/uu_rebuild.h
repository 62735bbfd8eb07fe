// Joining split-up part files back into the UU file.
#pragma once

#include <cstdint>

// Rebuilds the UU file from the part at path and the parts that follow it in
// file-name order: the parts are named after name_buffer (path's final path
// component) with the extensions U01, U02, ... (relative to the current
// directory, which the open dialog leaves at the parts' folder) and are joined
// until the next one cannot be opened.  The rebuilt file is named by the UU
// file name in the first part's header, in the first part's folder; a name
// that is not a plain file name (uu_plain_name) is refused.  It starts with a
// plain UU header "begin 666 NAME" ("begin 777" for a raw-mode part) and then
// holds every line of the parts but their part headers.
// path is overwritten with each later part's name; its buffer must hold 256
// characters (the open dialog's szFileName); a name that does not fit is
// refused.  szTargetFilename holds the rebuilt file's path.
// Returns:
//   0  done (the next part file could not be opened)
//   1  the user declined a question
//  -1  failed (reported; also a later part that is there but cannot be
//      opened), or a null or empty argument (not reported)
//  -2  an existing target could not be wiped (reported)
int iUURebuildSplitUpFile(char* path, int16_t text_first, const char* name_buffer);
