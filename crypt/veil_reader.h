// Reading the trailers of an encrypted file and scanning its data part.
#pragma once

#include <cstdint>

#include "crypt/veil_stats.h"

// Reads the trailers of `file_name` into record and gRiddle.  header_size
// receives the 16-bit value of the file's last two bytes.  Older records are
// converted to the 135-byte form.  A file of a newer version is questioned
// (Yes sets gMakeBackup); a file of an earlier mode with more than 32000 data
// bytes is questioned when ask_old is set (Yes, or ask_old clear, sets
// gMakeBackup).
// Returns:
//    0  an encrypted file of a known layout; record and gRiddle hold its trailers
//    1  not an encrypted file, or a record this version refuses (the message
//       " The file %s is either not supported ..." only when show_unsupported
//       is set), or the user declined a question
//   -3  the file is empty or its size cannot be read
//   -5  the file cannot be opened
//   -6  fewer than 135 bytes of the record read
//   -7  fewer than riddlelength bytes of the Riddle read
//   -8  the file holds no data before the Riddle
//   -9 / -10 / -11 / -12  a 774 / 390 / 287 / 277-byte record read short
//  -14  the file is no longer than its record
// A riddlelength below 1 or above 1024 is refused as not supported.  After a
// negative result the record may be partly filled and must not be used.
int iReadVeilStats(VeilStats* record, const char* file_name, int16_t* header_size, int16_t ask_old,
                   int16_t show_unsupported);

// Sums and counts the bytes of the file's data part into gByteSum and
// gByteCounts.  read_header set: the trailers are read first (as
// iReadVeilStats) and the data part is the file without them, its length
// left in gDataLength; clear: the data part is the whole file.
// Returns:
//    0  the data part was read to its end
//   any result of iReadVeilStats other than 0, unchanged
//   -1  a read came back short
//   -2  the file cannot be opened
//   -6  its length cannot be found
//   -8  no read buffer (even of 1024 bytes) could be had
int iScanFileBytes(const char* file_name, VeilStats* record, int16_t read_header,
                   int16_t* header_size, int16_t ask_old, int16_t show_unsupported);

// iScanFileBytes with the trailers read, for encrypted text files: a file
// whose data part is empty (a text saved empty: the Riddle trailer starts the
// file) is accepted with gDataLength 0 instead of refused with -8.  The
// Secure menu's file decryption keeps the refusal.
int lq_scan_encrypted_text(const char* file_name, VeilStats* record, int16_t* header_size,
                           int16_t ask_old, int16_t show_unsupported);
