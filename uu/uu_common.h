// State and steps shared by the UU operations: the program-wide target name,
// the header search with its mode settling, and name checks.
#pragma once

#include <cstdint>

#include "fileops/file_services.h"
#include "uu/uu_codec.h"
#include "uu/uu_stream.h"

// The path of the file that the last UU operation produced (or formed).
extern char szTargetFilename[LQ_MAX_PATH];

// The chosen file's final path component (szFileTitle, file_services.h) is
// filled by the open dialog and read and written by the UU operations.
const size_t LQ_FILE_TITLE_SIZE = sizeof szFileTitle;

// Longest header, search and trailer line (their buffers hold one more).
const size_t UU_HEADER_LINE = 644;
// Longest data line.
const size_t UU_DATA_LINE = 128;

// MessageBox styles of the UU operations.
const unsigned UU_STYLE_ERROR = LQ_MB_OK | LQ_MB_ICONSTOP;            // 16
const unsigned UU_STYLE_QUESTION = LQ_MB_YESNO | LQ_MB_ICONQUESTION;  // 36

// What the header search of one operation says when it fails or asks.
struct UuHeaderTexts {
    const char* open_failed_text;  // "... %s" with the path, text read mode
    const char* open_failed_raw;   // the same, raw read mode
    const char* question_caption;  // caption of the three unknown-mode questions
};

// The header as settled: the read mode and the fields, the first two already
// exchanged when the header was written name first.
struct UuHeader {
    bool text = true;
    bool exchanged = false;
    bool settled = false;
    char field[4][UU_FIELD_SIZE] = {};
};

// Opens the UU file, finds the first line that starts with "begin ", splits
// it into field_count fields (2 for a UU header, 4 for a part header) and
// settles the read mode from its mode word, reopening the file when the mode
// changes and asking the user when the mode word is unknown.  name_buffer is
// the UU file's final path component (shown in the questions).
// Returns 0 with the stream positioned after the header line; 1 when the
// first question was not answered Yes; -1 with the failure text in
// szMessageBuffer (not shown).
int uu_find_header(UuStream& s, const char* path, const char* name_buffer, bool text_first,
                   int field_count, const UuHeaderTexts& texts, UuHeader& h);

// Formats the refusal of a file name that a UU or part header holds and that
// is not a plain name (see uu_plain_name); returns -1.
int uu_refuse_name(const char* name, const char* path);

// True when a and b name one existing file: the same name in another letter
// case (Windows finds names without regard to case), or the same volume and
// file index (a link, a short alias).
bool uu_same_file(const char* a, const char* b);

// True when name is one of the part names iUUSplitUpFile derives from
// part_name's stem ("U%2.2i" of 0 to 9999), compared without regard to case.
bool uu_in_part_series(const char* name, const char* part_name);

// Forms folder-of(path) + name in target (LQ_MAX_PATH), the folder being the
// path without its last strlen(name_buffer) characters.  False (with a text
// in szMessageBuffer) when the result would not fit.
bool uu_path_beside(char* target, const char* path, const char* name_buffer, const char* name);

// The final path component of path (after the last '\' or '/').
const char* uu_final_component(const char* path);

// Puts the saved attributes and times back on path, as the operations do on
// their way out, keeping the failure text of the operation in szMessageBuffer
// when the service succeeds.
int uu_restore_attribs(const char* path, const FileInformation* info);

// Progress of a long UU operation, reported to the progress window in steps
// of about 64 KiB so that repainting does not dominate the work.
struct UuProgress {
    uint32_t pending = 0;
    void add(uint32_t n);
    void flush();
};

// Text of a failed read of an input file (formatted with its path).
extern const char* const UU_READ_FAILED;
