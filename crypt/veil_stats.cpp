#include "crypt/veil_stats.h"

#include <cstdio>
#include <cstring>

#include "crypt/veilmix.h"

VeilStats gVeilStats;
VeilStats gDlgVeilStats;
char gRiddle[VEIL_RIDDLE_SIZE];
int32_t gDataLength;
uint32_t gByteCounts[256];
int16_t gMakeBackup;

namespace {

void put16(uint8_t* p, uint16_t v) {
    p[0] = uint8_t(v);
    p[1] = uint8_t(v >> 8);
}
void put32(uint8_t* p, uint32_t v) {
    for (int i = 0; i < 4; ++i) p[i] = uint8_t(v >> (8 * i));
}
uint16_t get16(const uint8_t* p) { return uint16_t(p[0] | (p[1] << 8)); }
uint32_t get32(const uint8_t* p) {
    return uint32_t(p[0]) | (uint32_t(p[1]) << 8) | (uint32_t(p[2]) << 16) | (uint32_t(p[3]) << 24);
}
void put_float(uint8_t* p, float f) {
    uint32_t bits;
    std::memcpy(&bits, &f, 4);
    put32(p, bits);
}
float get_float(const uint8_t* p) {
    uint32_t bits = get32(p);
    float f;
    std::memcpy(&f, &bits, 4);
    return f;
}

// Field offsets of an older record; -1 where the field is absent (reads 0).
struct LegacyLayout {
    int16_t size;
    int recordtype, version, tag, mode, status, riddle, riddle_len, checksum, datalength, dosdate,
        dostime, dosattr, readonly, compression, originalsize, reserved;
};

const LegacyLayout legacy_layouts[] = {
    {774, 0, 2, 6, 8, 10, 12, 641, 653, 657, 661, 663, 665, 667, 669, 671, 675},
    {390, 0, 2, 6, 8, 10, 12, 257, 269, 273, 277, 279, 281, 283, 285, 287, 291},
    {287, -1, 0, 4, 6, 8, 10, 257, 267, 271, 275, 277, 279, 281, 283, -1, -1},
    {277, -1, 0, 4, 6, 8, 10, 257, 267, 271, -1, -1, -1, -1, -1, -1, -1},
};

// Bytes of a zero-terminated text inside a field of n bytes: up to its zero,
// or the whole field when it has none.
size_t field_text_length(const uint8_t* p, size_t n) {
    const void* z = std::memchr(p, 0, n);
    return z ? size_t(static_cast<const uint8_t*>(z) - p) : n;
}

}  // namespace

int iDefaultVeilStats(VeilStats* record) {
    record->recordtype = 2;
    record->version = 4.0f;
    record->tag[0] = 'l';
    record->tag[1] = 0;
    record->mode = 3;
    record->status = 0;
    record->checksum = 0;
    record->datalength = 0;
    record->originalsize = 0;
    std::memset(record->reserved, 0, sizeof record->reserved);
    record->riddlelength = 0;
    record->structsize = VEIL_STATS_SIZE;
    return 0;
}

void lq_veil_stats_pack(const VeilStats* r, uint8_t out[VEIL_STATS_SIZE]) {
    put16(out + VS_OFF_RECORDTYPE, uint16_t(r->recordtype));
    put_float(out + VS_OFF_VERSION, r->version);
    out[VS_OFF_TAG] = uint8_t(r->tag[0]);
    out[VS_OFF_TAG + 1] = uint8_t(r->tag[1]);
    put16(out + VS_OFF_MODE, uint16_t(r->mode));
    put16(out + VS_OFF_STATUS, uint16_t(r->status));
    put32(out + VS_OFF_CHECKSUM, r->checksum);
    put32(out + VS_OFF_DATALENGTH, uint32_t(r->datalength));
    put16(out + VS_OFF_DOSDATE, r->dosdate);
    put16(out + VS_OFF_DOSTIME, r->dostime);
    put16(out + VS_OFF_DOSATTR, r->dosattr);
    put16(out + VS_OFF_READONLY, uint16_t(r->readonly));
    put16(out + VS_OFF_COMPRESSION, uint16_t(r->compression));
    put32(out + VS_OFF_ORIGINALSIZE, uint32_t(r->originalsize));
    std::memcpy(out + VS_OFF_RESERVED, r->reserved, VEIL_RESERVED_SIZE);
    put16(out + VS_OFF_RIDDLELENGTH, uint16_t(r->riddlelength));
    put16(out + VS_OFF_STRUCTSIZE, uint16_t(r->structsize));
}

void lq_veil_stats_unpack(const uint8_t in[VEIL_STATS_SIZE], VeilStats* r) {
    r->recordtype = int16_t(get16(in + VS_OFF_RECORDTYPE));
    r->version = get_float(in + VS_OFF_VERSION);
    r->tag[0] = char(in[VS_OFF_TAG]);
    r->tag[1] = char(in[VS_OFF_TAG + 1]);
    r->mode = int16_t(get16(in + VS_OFF_MODE));
    r->status = int16_t(get16(in + VS_OFF_STATUS));
    r->checksum = get32(in + VS_OFF_CHECKSUM);
    r->datalength = int32_t(get32(in + VS_OFF_DATALENGTH));
    r->dosdate = get16(in + VS_OFF_DOSDATE);
    r->dostime = get16(in + VS_OFF_DOSTIME);
    r->dosattr = get16(in + VS_OFF_DOSATTR);
    r->readonly = int16_t(get16(in + VS_OFF_READONLY));
    r->compression = int16_t(get16(in + VS_OFF_COMPRESSION));
    r->originalsize = int32_t(get32(in + VS_OFF_ORIGINALSIZE));
    std::memcpy(r->reserved, in + VS_OFF_RESERVED, VEIL_RESERVED_SIZE);
    r->riddlelength = int16_t(get16(in + VS_OFF_RIDDLELENGTH));
    r->structsize = int16_t(get16(in + VS_OFF_STRUCTSIZE));
}

bool lq_veil_stats_from_legacy(const uint8_t* in, int16_t size, VeilStats* r,
                               char riddle[VEIL_RIDDLE_SIZE]) {
    const LegacyLayout* lay = nullptr;
    for (const LegacyLayout& l : legacy_layouts)
        if (l.size == size) lay = &l;
    if (!lay) return false;
    std::memset(r, 0, sizeof *r);
    auto i16 = [&](int off) { return off < 0 ? int16_t(0) : int16_t(get16(in + off)); };
    auto u16 = [&](int off) { return off < 0 ? uint16_t(0) : get16(in + off); };
    auto u32 = [&](int off) { return off < 0 ? uint32_t(0) : get32(in + off); };
    r->recordtype = i16(lay->recordtype);
    r->version = get_float(in + lay->version);
    // The tag and the Riddle are zero-terminated texts; one without its zero
    // ends at its field's end.
    std::memcpy(r->tag, in + lay->tag, field_text_length(in + lay->tag, sizeof r->tag));
    r->mode = i16(lay->mode);
    r->status = i16(lay->status);
    r->checksum = u32(lay->checksum);
    r->datalength = int32_t(u32(lay->datalength));
    r->dosdate = u16(lay->dosdate);
    r->dostime = u16(lay->dostime);
    r->dosattr = u16(lay->dosattr);
    r->readonly = i16(lay->readonly);
    r->compression = i16(lay->compression);
    r->originalsize = int32_t(u32(lay->originalsize));
    if (lay->reserved >= 0) std::memcpy(r->reserved, in + lay->reserved, VEIL_RESERVED_SIZE);
    const size_t len = field_text_length(in + lay->riddle, size_t(lay->riddle_len));
    std::memset(riddle, 0, VEIL_RIDDLE_SIZE);
    std::memcpy(riddle, in + lay->riddle, len);
    r->structsize = VEIL_STATS_SIZE;
    r->riddlelength = int16_t(len + 1);
    return true;
}

bool lq_veil_riddle_is_trailer(const VeilStats* r) {
    return (r->version == 4.0f && uint8_t(r->tag[0]) > 0x67) || r->version > 4.0f;
}

int16_t lq_veil_judge(const VeilStats* r, int32_t data_length, uint32_t byte_sum) {
    if (data_length != r->datalength) return -1;
    if (byte_sum != r->checksum) return 1;
    return 0;
}

const char* lq_veil_status_text(int16_t status) {
    if (status < 0) return "Status: BAD data length";
    if (status > 0) return "Status: BAD checksum";
    return "Status: OK !";
}

void lq_veil_version_line(const VeilStats* r, char* out, size_t size) {
    const char tag[3] = {r->tag[0], r->tag[1], 0};
    std::snprintf(out, size, "Version:%3.1f %1s   Mode:%hi", double(r->version), tag, r->mode);
}

void lq_crypt_reset() {
    std::memset(&gVeilStats, 0, sizeof gVeilStats);
    std::memset(&gDlgVeilStats, 0, sizeof gDlgVeilStats);
    iDefaultVeilStats(&gVeilStats);
    iDefaultVeilStats(&gDlgVeilStats);
    std::memset(gRiddle, 0, sizeof gRiddle);
    gDataLength = 0;
    gByteSum = 0;
    std::memset(gByteCounts, 0, sizeof gByteCounts);
    gMakeBackup = 0;
    lq_veilmix_clear();
}
