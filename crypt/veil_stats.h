// The VeilStats record that ends every encrypted file, and the program-wide
// records of the encryption subsystem.
//
// Layout of an encrypted file: the encrypted data (datalength bytes), the
// Riddle in plain text with its terminating zero (riddlelength bytes), then
// the 135-byte record.  The last two bytes of the file are the record's size;
// that is the only way to recognise an encrypted file.
//
// Pure record handling: no platform header, no messages.
#pragma once

#include <cstddef>
#include <cstdint>

// Size of the record this version writes, and of the older records it reads.
const int16_t VEIL_STATS_SIZE = 135;
const int16_t VEIL_LEGACY_774 = 774;
const int16_t VEIL_LEGACY_390 = 390;
const int16_t VEIL_LEGACY_287 = 287;
const int16_t VEIL_LEGACY_277 = 277;

// gRiddle holds up to 1023 characters and its zero.
const size_t VEIL_RIDDLE_SIZE = 1024;
const size_t VEIL_RESERVED_SIZE = 97;

// The record in memory.  On disk it is packed and little-endian; it is read
// and written only through lq_veil_stats_pack / lq_veil_stats_unpack.
struct VeilStats {
    int16_t recordtype;  // 2; ignored when reading
    float version;       // 4.0
    char tag[2];         // revision letter and a zero: "l"
    int16_t mode;        // cipher schedule, 3
    int16_t status;      // last data-part judgement: 0 good, 1 bad checksum, -1 bad length
    uint32_t checksum;   // sum modulo 2^32 of the encrypted data bytes
    int32_t datalength;  // number of data bytes
    uint16_t dosdate;    // DOS stamp and attribute word of the file before encryption
    uint16_t dostime;
    uint16_t dosattr;
    int16_t readonly;      // the user asked for a read-only result
    int16_t compression;   // 0 none, 1 "Size" (arithmetic coder), 2 "Speed" (LZSS)
    int32_t originalsize;  // size before compression: the room a decryption needs
    uint8_t reserved[VEIL_RESERVED_SIZE];
    int16_t riddlelength;  // bytes of the Riddle trailer, its zero included
    int16_t structsize;    // 135
};

// Field offsets of the 135-byte record on disk.
enum : size_t {
    VS_OFF_RECORDTYPE = 0,
    VS_OFF_VERSION = 2,
    VS_OFF_TAG = 6,
    VS_OFF_MODE = 8,
    VS_OFF_STATUS = 10,
    VS_OFF_CHECKSUM = 12,
    VS_OFF_DATALENGTH = 16,
    VS_OFF_DOSDATE = 20,
    VS_OFF_DOSTIME = 22,
    VS_OFF_DOSATTR = 24,
    VS_OFF_READONLY = 26,
    VS_OFF_COMPRESSION = 28,
    VS_OFF_ORIGINALSIZE = 30,
    VS_OFF_RESERVED = 34,
    VS_OFF_RIDDLELENGTH = 131,
    VS_OFF_STRUCTSIZE = 133,
};
static_assert(VS_OFF_RESERVED + VEIL_RESERVED_SIZE == VS_OFF_RIDDLELENGTH, "record layout");
static_assert(VS_OFF_STRUCTSIZE + 2 == size_t(VEIL_STATS_SIZE), "record layout");

// The current record: every Secure command, the editor's encrypted load and
// save, and the probe of every file opened read into it or write from it.
extern VeilStats gVeilStats;
// The copy the encryption dialogs show and edit.
extern VeilStats gDlgVeilStats;
// The Riddle text (zero-terminated).
extern char gRiddle[VEIL_RIDDLE_SIZE];
// Length of the data part last scanned or encrypted.
extern int32_t gDataLength;
// Per-value counts of the last scan.
extern uint32_t gByteCounts[256];
// Set by the reader when the user accepts a file of another version; decides
// whether a decryption keeps the encrypted file as a backup.
extern int16_t gMakeBackup;

// Prepares a record for a new encryption: recordtype 2, version 4.0, tag "l",
// mode 3, status, checksum, datalength, originalsize, reserved and
// riddlelength 0, structsize 135.  dosdate, dostime, dosattr, readonly and
// compression keep their values.  Returns 0.
int iDefaultVeilStats(VeilStats* record);

// The record as its 135 bytes on disk, field by field, little-endian.
void lq_veil_stats_pack(const VeilStats* record, uint8_t out[VEIL_STATS_SIZE]);
void lq_veil_stats_unpack(const uint8_t in[VEIL_STATS_SIZE], VeilStats* record);

// Converts an older record (774, 390, 287 or 277 bytes, `size`) into a
// 135-byte record with structsize 135; its Riddle goes into riddle (cut at
// its field's end when it carries no zero) and riddlelength becomes the
// Riddle's length + 1.  Returns false for any other size.
bool lq_veil_stats_from_legacy(const uint8_t* in, int16_t size, VeilStats* record,
                               char riddle[VEIL_RIDDLE_SIZE]);

// Where the Riddle lies, by the scanner's rule: outside the record (a trailer
// of riddlelength bytes before it) for version 4.0 with a first tag byte above
// 'g', or any version above 4.0.
bool lq_veil_riddle_is_trailer(const VeilStats* record);

// The data-part judgement after a scan with the trailers read: -1 "Status: BAD
// data length", 1 "Status: BAD checksum", 0 "Status: OK !".  The text of a
// status is returned by lq_veil_status_text.
int16_t lq_veil_judge(const VeilStats* record, int32_t data_length, uint32_t byte_sum);
const char* lq_veil_status_text(int16_t status);

// "Version:%3.1f %1s   Mode:%hi" for the record (the tag cut to its two bytes).
void lq_veil_version_line(const VeilStats* record, char* out, size_t size);

// Resets every program-wide record of the subsystem to its start-up state
// (both records by iDefaultVeilStats over zeros, empty Riddle and passwords,
// cipher state cleared, counters 0).
void lq_crypt_reset();
