// The CompStats record: its bytes, a fresh record, and the reader.
#include <cstring>

#include "compress/compress_file.h"
#include "fileops/file_services.h"
#include "platform/platform.h"

CompStats cs_data;
int32_t gPreCompressSize;

namespace {
// Byte offsets of the packed record.
enum {
    at_recordtype = 0,
    at_version = 2,
    at_tag = 6,
    at_algorithm = 8,
    at_reserved1 = 10,
    at_filename = 12,
    at_compressedsize = 141,
    at_originalsize = 145,
    at_dosdate = 149,
    at_dostime = 151,
    at_dosattr = 153,
    at_reserved2 = 155,
    at_structsize = 252,
};
static_assert(at_reserved2 + sizeof(CompStats::reserved2) == at_structsize, "record layout");
static_assert(at_structsize + 2 == CZ_COMP_STATS_SIZE, "record size");

void put16(uint8_t* p, uint16_t v) {
    p[0] = (uint8_t)v;
    p[1] = (uint8_t)(v >> 8);
}
void put32(uint8_t* p, uint32_t v) {
    for (int i = 0; i < 4; ++i) p[i] = (uint8_t)(v >> (8 * i));
}
uint16_t get16(const uint8_t* p) { return (uint16_t)(p[0] | (p[1] << 8)); }
uint32_t get32(const uint8_t* p) {
    return (uint32_t)p[0] | ((uint32_t)p[1] << 8) | ((uint32_t)p[2] << 16) | ((uint32_t)p[3] << 24);
}

const char read_caption[] = "Lockquill(TM) ERROR: iReadCompStats ";
}  // namespace

void cz_comp_stats_pack(const CompStats* r, uint8_t out[CZ_COMP_STATS_SIZE]) {
    std::memset(out, 0, CZ_COMP_STATS_SIZE);
    put16(out + at_recordtype, r->recordtype);
    uint32_t version_bits;
    std::memcpy(&version_bits, &r->version, 4);
    put32(out + at_version, version_bits);
    std::memcpy(out + at_tag, r->tag, 2);
    put16(out + at_algorithm, r->algorithm);
    put16(out + at_reserved1, r->reserved1);
    // Up to the terminator only: what follows it is written as zeros.
    size_t n = strnlen(r->filename, CZ_COMP_STATS_NAME - 1);
    std::memcpy(out + at_filename, r->filename, n);
    put32(out + at_compressedsize, (uint32_t)r->compressedsize);
    put32(out + at_originalsize, (uint32_t)r->originalsize);
    put16(out + at_dosdate, r->dosdate);
    put16(out + at_dostime, r->dostime);
    put16(out + at_dosattr, r->dosattr);
    std::memcpy(out + at_reserved2, r->reserved2, sizeof r->reserved2);
    put16(out + at_structsize, (uint16_t)r->structsize);
}

void cz_comp_stats_unpack(CompStats* r, const uint8_t in[CZ_COMP_STATS_SIZE]) {
    r->recordtype = get16(in + at_recordtype);
    uint32_t version_bits = get32(in + at_version);
    std::memcpy(&r->version, &version_bits, 4);
    std::memcpy(r->tag, in + at_tag, 2);
    r->algorithm = get16(in + at_algorithm);
    r->reserved1 = get16(in + at_reserved1);
    std::memcpy(r->filename, in + at_filename, CZ_COMP_STATS_NAME);
    // A record from elsewhere need not be terminated; ours always is.
    r->filename[CZ_COMP_STATS_NAME - 1] = 0;
    r->compressedsize = (int32_t)get32(in + at_compressedsize);
    r->originalsize = (int32_t)get32(in + at_originalsize);
    r->dosdate = get16(in + at_dosdate);
    r->dostime = get16(in + at_dostime);
    r->dosattr = get16(in + at_dosattr);
    std::memcpy(r->reserved2, in + at_reserved2, sizeof r->reserved2);
    r->structsize = (int16_t)get16(in + at_structsize);
}

int iInitCompStats(CompStats* record, uint16_t algorithm, const char* name) {
    std::memset(record, 0, sizeof *record);
    record->recordtype = 3;
    record->version = 1.0f;
    record->tag[0] = 'a';
    record->algorithm = algorithm;
    record->structsize = CZ_COMP_STATS_SIZE;
    if (name) {
        // A longer path keeps its end, where the file's own name is.
        size_t len = std::strlen(name);
        const size_t room = CZ_COMP_STATS_NAME - 1;
        std::memcpy(record->filename, len > room ? name + (len - room) : name,
                    len > room ? room : len);
    }
    if (MemoryStreams.in_buffer) {
        record->originalsize = MemoryStreams.in_length;
        return 0;
    }
    int32_t size = name ? lGetFileSize(name) : -1;
    if (size < 0) {
        record->originalsize = 0;
        return -2;
    }
    record->originalsize = size;
    return 0;
}

int iReadCompStats(CompStats* record, const char* name) {
    int16_t scssize = sGetShortEndValue(name);
    if (scssize < 0) return -1;
    if (scssize != CZ_COMP_STATS_SIZE) {
        lq_message_format(
            " The file %s is either not supported in this version or not a Lockquill Compressed "
            "file ",
            name);
        lq_message_show(read_caption, LQ_MB_OK | LQ_MB_ICONSTOP);
        return -2;
    }
    int32_t size = lGetFileSize(name);
    if (size < 1) return -3;
    PfFile f = pf_open(name, PF_ACCESS_READ, PF_SHARE_READ, PF_OPEN_EXISTING);
    if (f == PF_INVALID_FILE) return -5;
    int result = 0;
    if (pf_seek(f, (int64_t)size - CZ_COMP_STATS_SIZE, PF_SEEK_SET) <= 0) {
        result = -8;
    } else {
        uint8_t bytes[CZ_COMP_STATS_SIZE];
        if (pf_read(f, bytes, CZ_COMP_STATS_SIZE) != CZ_COMP_STATS_SIZE)
            result = -6;
        else
            cz_comp_stats_unpack(record, bytes);
    }
    pf_close(f);
    record->structsize = CZ_COMP_STATS_SIZE;
    return result;
}
