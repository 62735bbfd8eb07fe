// UU line coding and the parsing of UU header lines.
//
// Pure functions over memory: no files, no messages.  The operations in
// uu_encode.cpp, uu_decode.cpp, uu_split.cpp and uu_rebuild.cpp build on them.
#pragma once

#include <cstddef>
#include <cstdint>

// Source bytes on every data line but the last.
const size_t UU_LINE_BYTES = 45;
// Longest encoded line without its line end: length character + 4 * 15.
const size_t UU_LINE_CHARS = 61;

// A 6-bit value as written: v + 0x20, except that 0 becomes the grave
// accent (0x60) so that no line carries a blank that a mail system could strip.
inline char uu_enc_char(unsigned v) { return v ? char(v + 0x20) : char(0x60); }
// Any character read back: the blank and the grave accent both give 0.
inline unsigned uu_dec_char(unsigned char c) { return (c - 0x20u) & 0x3Fu; }

// Encodes n (0 to 45) bytes as one line without its line end: the length
// character, then 4 characters per started group of 3 bytes.  The bits that
// pad a last partial group are zero.  Returns the characters written
// (1 + 4 * ceil(n / 3)); out needs room for UU_LINE_CHARS.
size_t uu_encode_line(const uint8_t* src, size_t n, char* out);

// Encodes a whole number of full lines (count * 45 bytes from src), each
// followed by the line end eol (1 or 2 characters).  Returns the characters
// written: count * (61 + eol_len).
size_t uu_encode_full_lines(const uint8_t* src, size_t count, char* out, const char* eol,
                            size_t eol_len);

// Largest number of bytes one data line can announce (length character '_').
const size_t UU_MAX_LINE_DECODED = 63;

// Decodes one data line of len characters as read (with its line feed when it
// has one).  The length character n gives the bytes to produce; the
// 4 * ceil(n / 3) characters after it are decoded, and any of them that are
// missing (trailing blanks stripped in transit, line end included) count as
// zero bits.  Returns -1 for the line that ends the data (length character
// giving 0, or a bare line feed), else the bytes written to out (1 to 63).
int uu_decode_line(const char* line, size_t len, uint8_t* out);

// Characters of a standard full line: 'M', 60 encoding characters, '\n'.
const size_t UU_FULL_LINE = 62;

// Decodes, from the start of p (avail characters), consecutive standard full
// lines ('M', 60 characters none of which is a line feed, then '\n'), at
// most max_lines of them, into out (room for 45 * max_lines + 1 bytes; the
// byte after the last line's 45 may be overwritten).  Each line decodes
// exactly as uu_decode_line decodes it.  Returns the lines decoded; the first
// line that is not a standard full line stops it.
size_t uu_decode_full_lines(const char* p, size_t avail, uint8_t* out, size_t max_lines);

// Field buffers of the header parsers: at most 131 characters and the zero.
const size_t UU_FIELD_SIZE = 132;

// True when the line starts with the six characters "begin ".
bool uu_is_begin_line(const char* line, size_t len);

// Results of the header parsers.
enum { UU_FIELDS_OK = 0, UU_FIELD_TOO_LONG = -1 };

// Splits a "begin " line into its first `count` (1 to 4) fields after
// "begin": a field is a run of characters that are not white space (blank,
// tab, line feed, carriage return, vertical tab, form feed); a zero ends the
// line.  Fields that are absent are left empty.  Returns UU_FIELDS_OK, or
// UU_FIELD_TOO_LONG (the fields then are unreliable) when a field holds more
// than 131 characters.
int uu_split_header(const char* line, size_t len, char (*fields)[UU_FIELD_SIZE], int count);

// A part header "begin MODE NAME SIZE UUNAME split-up number=K": the four
// fields as uu_split_header gives them, and K (-1 when the line does not go
// on with " split-up number=" and digits).
struct UuPartHeader {
    char field[4][UU_FIELD_SIZE];
    long number;
};
int uu_parse_part_header(const char* line, size_t len, UuPartHeader* out);

// The four mode words, compared exactly.
enum UuModeWord { UU_MODE_UNKNOWN = 0, UU_MODE_TEXT = 1, UU_MODE_RAW = 2 };
UuModeWord uu_mode_word(const char* field);

// A decimal number as the size prompt and the part headers hold it: leading
// white space, an optional sign, then digits up to the first other
// character; no digits give 0.  Values beyond 32 bits saturate.
int32_t uu_read_decimal(const char* text);

// True when name can be used as a file name inside the folder of the file it
// came from: not empty, not "." or "..", free of folder separators ('\' and
// '/'), drive or stream colons, the characters '*', '?', '"', '<', '>', '|'
// that Windows refuses, and control characters; not ending in a dot or blank;
// not a Windows device name (CON, PRN, AUX, NUL, COM1-COM9, LPT1-LPT9, with or
// without an extension, in any case).
bool uu_plain_name(const char* name);

// The extension of part k: "U" and k with at least two digits (U00, U07,
// U100).  out needs 16 characters.
void uu_part_extension(int k, char* out);
