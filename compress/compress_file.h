// Compressed files and buffers: the CompStats record and the compress, expand
// and record-reading operations.
//
// A compressed file or buffer is the coder's bit stream followed by the
// 254-byte CompStats record, whose last two bytes hold 254 (0xFE 0x00).
// Mode: file mode when MemoryStreams.in_buffer and out_buffer are both null;
// memory mode when both are set (the name then serves messages and the
// record's filename only).
#pragma once

#include <cstdint>

#include "compress/memory_streams.h"

const int CZ_COMP_STATS_SIZE = 254;
const int CZ_COMP_STATS_NAME = 129;  // filename: 128 characters and the terminator

// Algorithm values of the record.
enum : uint16_t { CZ_ALGORITHM_ARITH = 1, CZ_ALGORITHM_LZSS = 2 };

// The record in memory; on disk it is packed, little-endian, field by field
// (cz_comp_stats_pack / cz_comp_stats_unpack).
struct CompStats {
    uint16_t recordtype;                // 0: always 3
    float version;                      // 2: 1.0
    char tag[2];                        // 6: "a"
    uint16_t algorithm;                 // 8: 1 maximum compression, 2 speed compression
    uint16_t reserved1;                 // 10
    char filename[CZ_COMP_STATS_NAME];  // 12: zero-terminated
    int32_t compressedsize;             // 141: coded bytes, without the record
    int32_t originalsize;               // 145
    uint16_t dosdate;                   // 149: the original's last write, 0 for memory input
    uint16_t dostime;                   // 151
    uint16_t dosattr;                   // 153: 0x01, 0x02, 0x04, 0x20
    uint8_t reserved2[97];              // 155
    int16_t structsize;                 // 252: always 254
};

// The program-wide record every caller passes.
extern CompStats cs_data;

// The size of the file before its last compression (set by iCompressFile).
extern int32_t gPreCompressSize;

// The 254 bytes of the record; the bytes of filename after its terminator are
// written as zeros, so equal records give equal bytes.
void cz_comp_stats_pack(const CompStats* record, uint8_t out[CZ_COMP_STATS_SIZE]);
void cz_comp_stats_unpack(CompStats* record, const uint8_t in[CZ_COMP_STATS_SIZE]);

// Fresh record for `algorithm` and `name` (a name longer than 128 characters
// is stored as its last 128); originalsize = in_length for memory input, else
// the file's size.
// Returns 0; -2 the original size cannot be determined (originalsize 0).
int iInitCompStats(CompStats* record, uint16_t algorithm, const char* name);

// Reads the record at the end of the file `name`; structsize set to 254.
// Returns:
//   0  read
//  -1  the trailing 16-bit value is negative (every failure of sGetShortEndValue)
//  -2  not a compressed file (message shown)
//  -3  the file is empty or its size cannot be determined
//  -5  the file cannot be opened
//  -6  fewer than 254 bytes read
//  -8  the seek failed or the file holds nothing before the record
int iReadCompStats(CompStats* record, const char* name);

// Compresses the file `name` in place (file mode; the original is moved to the
// .TCF backup, coded back under its own name, the record appended, the times
// and attributes put back and the backup wiped), or the memory buffer
// (memory mode; coded data plus record at out_buffer[0, out_pos)).
// ask: 0 declines a compression that may not fit without asking.  algorithm:
// 1 arithmetic coder, any other value LZSS.  show: report the ratio in a box.
// Returns:
//    0  done
//    1  not enough free space and the user declined (or ask is 0)
//    5  the user declined to overwrite an existing backup
//   -1  no memory buffers and no name
//   -2  no input buffer and no name
//   -3  iInitCompStats failed
//   -4  the attributes could not be taken
//   -5  no backup name (the file already has the extension TCF)
//   -6  the existing backup could not be wiped, or the rename to it failed;
//       a backup is there beside a file that is not a complete compressed
//       file (what an interrupted operation leaves; refused with a message)
//   -7  the backup cannot be opened for reading
//   -8  the output bit stream cannot be opened
//  -12  compressed file plus record larger than the original file
//  -15  compressed buffer plus record larger than the original buffer
//  -16  writing the record failed
//  -17  the file cannot be opened to append the record
//  -18  restoring the attributes failed, or no memory to append the record
//  coder results (-1 to -7) come with " LZSS/Arith-N file compression error"
//  (the arithmetic model may take a quarter of physical memory, or
//  cz_arith_memory_limit when set; beyond it the coder fails and the message
//  says so)
// Every failure after the rename puts the original back under its name with
// its times and attributes, and leaves no backup behind.
int iCompressFile(const char* name, int ask, uint16_t algorithm, int show, CompStats* record);

// Whether iCompressFile stops coding as soon as the coded data alone makes
// the result larger than the original (the -12 / -15 refusal that follows
// shows the same box and leaves the same files as a full run).  Tests clear
// it to compare.
extern bool cz_stop_when_larger;

// Expands the compressed file `name` in place (file mode) or the buffer
// in_buffer[0, in_length) (memory mode; the text at out_buffer[0, out_pos)).
// flag: every caller passes 1; it has no effect.
// Returns:
//    0  done
//    5  the user declined to overwrite an existing backup
//   -1  no memory buffers and no name; not enough free space; the backup wipe
//       or the attribute restore failed after expanding
//   -2  no input buffer and no name
//   -3  the attributes could not be taken
//   -4  iReadCompStats failed (file mode)
//   -5  no backup name, or the existing backup could not be wiped; a backup
//       is there beside a file that is not a complete compressed file (what
//       an interrupted operation leaves; refused with a message)
//   -6  the rename to the backup failed; the record at the end of the input
//       buffer is missing or malformed (memory mode)
//   -7  the input bit stream cannot be opened
//  -10  the output file cannot be created
//  -11  the expanded length differs from the record's originalsize (damaged
//       data; the compressed file or buffer is kept)
//  coder results come with " LZSS/Arith-N file expansion error"
int iExpandFile(const char* name, int flag, CompStats* record);
