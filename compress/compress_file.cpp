// Compressing and expanding files in place, and memory buffers.
//
// In place: the file is moved to its .TCF backup, coded back under its own
// name, and on success the backup is wiped; on any failure after the move the
// output is wiped and the backup moved back with its times and attributes, so
// that no .TCF file stays behind.
#include <cstdio>
#include <cstring>
#include <vector>

#include "compress/arith.h"
#include "compress/bit_file.h"
#include "compress/byte_stream.h"
#include "compress/compress_file.h"
#include "compress/lzss.h"
#include "fileops/file_services.h"
#include "fileops/progress.h"
#include "fileops/remnant.h"
#include "fileops/wipe.h"
#include "platform/platform.h"

namespace {

const unsigned error_style = LQ_MB_OK | LQ_MB_ICONSTOP;            // 16
const unsigned question_style = LQ_MB_YESNO | LQ_MB_ICONQUESTION;  // 36
const unsigned report_style = LQ_MB_OK | LQ_MB_ICONEXCLAMATION;    // 48

const char compress_error[] = "Lockquill(TM) ERROR: iCompressFile ";
const char compress_warning[] = "Lockquill(TM) WARNING: iCompressFile";
const char expand_error[] = "Lockquill(TM) ERROR: iExpand ";
const char expand_warning[] = "Lockquill(TM) WARNING: iExpandFile";

enum class Mode { file, memory, mixed };

Mode fix_mode() {
    bool in = MemoryStreams.in_buffer != nullptr;
    bool out = MemoryStreams.out_buffer != nullptr;
    if (in && out) return Mode::memory;
    if (!in && !out) return Mode::file;
    return Mode::mixed;
}

// Gives back the read-only flag that iGetDateTimeAttribsRemoveReadOnly took
// away, when an operation stops before it has moved the file.
void restore_read_only(const char* name, const FileInformation& info) {
    if (info.dwFileAttributes & PF_ATTR_READONLY) iSetDateTimeAttribs(name, &info);
}

// The rollback of an in-place operation: the output under `name` (if one was
// made) is wiped, the backup moved back and given its times and attributes.
// 0, or -1 when the attributes could not be put back.
int roll_back(const char* name, const char* backup, const FileInformation& info) {
    bool output_gone = !bDoesFileExist(name, nullptr, false) || iWipeFile(name, 0) == 0;
    if (!output_gone || iRename(backup, name) != 0) return 0;
    return iSetDateTimeAttribs(name, &info) == 0 ? 0 : -1;
}

// Asks whether an existing backup may be overwritten and wipes it.  0 go on,
// 5 declined, -1 the wipe failed.
int clear_old_backup(const char* backup, const char* operation, const char* caption) {
    if (!bDoesFileExist(backup, nullptr, false)) return 0;
    lq_message_format(
        " A previous backup file named %s for the %s operation already exists! DO YOU WISH TO "
        "OVERWRITE IT ?",
        backup, operation);
    if (lq_message_show(caption, question_style) != LQ_IDYES) return 5;
    return iWipeFile(backup, 0) == 0 ? 0 : -1;
}

void show_wipe_failure(const char* backup, const char* operation, const char* caption) {
    lq_message_format(
        " COULD NOT Wipe the previous backup named %s for the %s operation.  DELETE THE FILE "
        "MANUALLY.",
        backup, operation);
    lq_message_show(caption, error_style);
}

// Appends the packed record to the file.  0, -17 (open) or -16 (write), with
// the message in szMessageBuffer.
int append_record(const char* name, const CompStats* record) {
    PfFile f = pf_open(name, PF_ACCESS_READ | PF_ACCESS_WRITE, PF_SHARE_READ, PF_OPEN_EXISTING);
    if (f == PF_INVALID_FILE) {
        lq_message_format(" COULD NOT open the file %s for appending Compression Header.", name);
        return -17;
    }
    uint8_t bytes[CZ_COMP_STATS_SIZE];
    cz_comp_stats_pack(record, bytes);
    int result = 0;
    if (pf_seek(f, 0, PF_SEEK_END) < 0 ||
        pf_write(f, bytes, CZ_COMP_STATS_SIZE) != CZ_COMP_STATS_SIZE) {
        lq_message_format(" COULD NOT append Compression Header to\r\n %s", name);
        result = -16;
    }
    if (!pf_close(f) && result == 0) {
        lq_message_format(" COULD NOT append Compression Header to\r\n %s", name);
        result = -16;
    }
    return result;
}

// True when `name` ends in a record that accounts for every byte before it:
// the mark of a finished compression (an interrupted one has written no
// record yet).  Quiet; any failure to tell counts as not finished.
bool is_complete_compressed(const char* name) {
    PfFile f = pf_open(name, PF_ACCESS_READ, PF_SHARE_READ, PF_OPEN_EXISTING);
    if (f == PF_INVALID_FILE) return false;
    uint8_t bytes[CZ_COMP_STATS_SIZE];
    int64_t size = pf_seek(f, 0, PF_SEEK_END);
    bool complete = size > CZ_COMP_STATS_SIZE &&
                    pf_seek(f, size - CZ_COMP_STATS_SIZE, PF_SEEK_SET) >= 0 &&
                    pf_read(f, bytes, CZ_COMP_STATS_SIZE) == CZ_COMP_STATS_SIZE;
    pf_close(f);
    if (!complete) return false;
    CompStats record;
    cz_comp_stats_unpack(&record, bytes);
    return record.structsize == CZ_COMP_STATS_SIZE &&
           record.compressedsize == size - CZ_COMP_STATS_SIZE;
}

// The .TCF name of `name` without a message (a name that cannot have one,
// false, is left to iMakeExtendedFilename's refusal later).
bool quiet_backup_name(const char* name, char* backup) {
    const char* base = name;
    for (const char* p = name; *p; ++p)
        if (*p == '\\' || *p == '/') base = p + 1;
    const char* dot = std::strrchr(base, '.');
    if (dot && (dot[1] | 0x20) == 't' && (dot[2] | 0x20) == 'c' && (dot[3] | 0x20) == 'f' &&
        !dot[4])
        return false;
    size_t stem = dot ? (size_t)(dot - name) : std::strlen(name);
    std::memcpy(backup, name, stem);
    std::strcpy(backup + stem, ".TCF");
    return true;
}

// A process that dies inside a compression or an expansion leaves the only
// good copy of the data under the .TCF name beside an unfinished result (a
// stream without its record, or part of an expanded file).  Beside a
// finished compressed file the backup holds nothing that file does not (its
// wipe was cut short), and the usual overwrite question stays.
bool complete_compressed(const char* path, const char*, void*) {
    return is_complete_compressed(path);
}

// 0 go on (a backup left beside a missing file has been moved back), -1 a
// remnant was refused with a message naming the backup.
int check_remnant(const char* name, char* backup, const char* caption) {
    int found = quiet_backup_name(name, backup)
                    ? lq_check_remnant(name, backup, complete_compressed, nullptr, caption)
                    : 0;
    backup[0] = 0;
    return found < 0 ? -1 : 0;
}

// The arithmetic model may take this much memory in one operation: a test's
// limit when one is set, else a quarter of the machine's memory, so that a
// huge model fails cleanly (and rolls back) before the system kills the
// process with the original left under the backup name.
struct ModelMemoryCap {
    uint64_t saved = cz_arith_memory_limit;
    ModelMemoryCap() {
        if (!cz_arith_memory_limit) cz_arith_memory_limit = pf_physical_memory() / 4;
    }
    ~ModelMemoryCap() { cz_arith_memory_limit = saved; }
};

// The coder's error message, with a sentence of its own when the model ran
// out of memory.
void format_coder_error(const char* text, int code, bool arith, const char* kept) {
    lq_message_format(text, code);
    if (arith && cz_arith_stats.out_of_memory)
        lq_message_append("\r\n The model needs more than the %lu MB of memory it may use here. %s",
                          (unsigned long)(cz_arith_memory_limit >> 20), kept);
}

const char* progress_name(const CompStats* record) {
    return record->filename[0] ? record->filename : " Editor buffer ";
}

// Derives the .TCF backup name, clears a stale backup when the user agrees,
// and moves the file there.  Whatever stops it puts the read-only flag back.
// Returns 0, 5 (declined), -5 (no backup name), `wipe_failed` (the stale
// backup could not be wiped) or -6 (the move failed).
int move_to_backup(const char* name, char* backup, const FileInformation& info,
                   const char* operation, const char* warning, const char* error, int wipe_failed) {
    if (iMakeExtendedFilename(backup, name, "TCF") != 0) {
        restore_read_only(name, info);
        return -5;
    }
    int cleared = clear_old_backup(backup, operation, warning);
    if (cleared != 0) {
        restore_read_only(name, info);
        if (cleared == 5) return 5;
        show_wipe_failure(backup, operation, error);
        return wipe_failed;
    }
    if (iRename(name, backup) != 0) {
        restore_read_only(name, info);
        return -6;
    }
    return 0;
}

}  // namespace

bool cz_stop_when_larger = true;

int iCompressFile(const char* name, int ask, uint16_t algorithm, int show, CompStats* record) {
    MemoryStreams.io_error = 0;
    szMessageBuffer[0] = 0;
    FileInformation info;
    std::memset(&info, 0, sizeof info);
    Mode mode = fix_mode();
    if (mode == Mode::file && !name) return -1;
    if (!MemoryStreams.in_buffer && !name) return -2;
    if (mode == Mode::mixed) return -1;
    bool file = mode == Mode::file;

    std::vector<char> backup_buffer(name ? std::strlen(name) + 8 : 1, 0);
    char* backup = backup_buffer.data();
    if (file && check_remnant(name, backup, compress_error) != 0) return -6;

    if (iInitCompStats(record, algorithm, name) != 0) return -3;

    CzStream* input = nullptr;
    if (file) {
        if (lGetDiskFree(name) < record->originalsize) {
            if (!ask) return 1;
            lq_message_format(
                " There MAY NOT be enough free media space to compress the file %s. Continue "
                "anyways ?",
                name);
            if (lq_message_show(compress_warning, question_style) != LQ_IDYES) return 1;
        }
        if (iGetDateTimeAttribsRemoveReadOnly(name, &info) != 0) return -4;
        iByHandleFileInformationToDateTimeAttribute(&record->dosdate, &record->dostime,
                                                    &record->dosattr, &info);
        int moved =
            move_to_backup(name, backup, info, "compression", compress_warning, compress_error, -6);
        if (moved != 0) return moved;
        input = cz_stream_open(backup, "rb");
        if (!input) {
            // The original goes back under its own name before the report.
            roll_back(name, backup, info);
            lq_message_format(" COULD NOT OPEN backup file %s for compression ", backup);
            lq_message_show(compress_error, error_style);
            return -7;
        }
    }

    int result = 0;
    bool larger = false;  // the coder stopped: its output alone is too large
    MemoryStreams.in_pos = 0;
    lq_progress_begin(
        algorithm == CZ_ALGORITHM_ARITH ? " Maximum compression of " : " Speed compression of ",
        progress_name(record), (uint32_t)record->originalsize);
    BitFile* output = OpenOutputBitFile(name);
    if (!output) {
        lq_message_format(" OpenOutputBitFile failed.");
        result = -8;
    } else {
        ModelMemoryCap cap;
        // The coded data only grows: once it alone makes the result larger
        // than the original, the refusal below is certain and the coder may
        // stop (on data that does not compress it would run on for long).
        int64_t original = file ? record->originalsize : MemoryStreams.in_length;
        cz_output_limit = cz_stop_when_larger ? original - CZ_COMP_STATS_SIZE : INT64_MAX;
        int coded = algorithm == CZ_ALGORITHM_ARITH ? iArithCompress(input, output, 3)
                                                    : iLzssCompress(input, output);
        cz_output_limit = INT64_MAX;
        larger = coded == CZ_OVER_LIMIT;
        if (larger) coded = 0;
        // A read that failed looks like the end of the input to the coder; the
        // data would be cut short, so it is a failure of the coding.
        if (coded == 0 && !larger && input && input->error) coded = -1;
        // The last partial byte (and in file mode the buffered tail) must
        // reach the output too, or the stream would be cut short.
        int closed = iCloseOutputBitFile(output);
        if (coded == 0 && !larger && closed != 0) coded = -1;
        if (coded != 0) {
            bool arith = algorithm == CZ_ALGORITHM_ARITH;
            format_coder_error(arith ? " Arith-N file compression error: %i "
                                     : " LZSS file compression error: %i ",
                               coded, arith, "Nothing was compressed.");
            result = coded;
        } else {
            szMessageBuffer[0] = 0;
        }
    }

    if (file) {
        cz_stream_close(input);
        if (result == 0 && (larger || (int64_t)lGetFileSize(name) + CZ_COMP_STATS_SIZE >
                                          (int64_t)lGetFileSize(backup))) {
            iMessageBox(
                " The compressed file is larger than the original file.  CANCELLING FILE "
                "COMPRESSION.",
                compress_error, error_style);
            result = -12;
        }
        if (result == 0) {
            record->originalsize = lGetFileSize(backup);
            gPreCompressSize = record->originalsize;
            record->compressedsize = lGetFileSize(name);
            // The record goes on before the original is wiped: a file
            // without its record could never be expanded.  A size that could
            // not be read (its box shown) would make a record that no
            // expansion accepts.
            result = record->originalsize < 0 || record->compressedsize < 0
                         ? -1
                         : append_record(name, record);
        }
        if (result != 0) {
            // The rollback's own failures have shown their boxes; a message of
            // this operation still waiting in the buffer is kept for the end.
            char pending[LQ_MESSAGE_BUFFER_SIZE];
            std::strcpy(pending, szMessageBuffer);
            szMessageBuffer[0] = 0;
            roll_back(name, backup, info);
            if (pending[0]) std::strcpy(szMessageBuffer, pending);
        } else {
            iWipeFile(backup, 0);
            szMessageBuffer[0] = 0;
            if (iSetDateTimeAttribs(name, &info) != 0) result = -18;
            if (show) {
                iShowProgress(-1);
                double percent = record->originalsize ? (double)record->compressedsize /
                                                            (double)record->originalsize * 100.0
                                                      : 0.0;
                char text[LQ_MAX_PATH + 96];
                std::snprintf(text, sizeof text,
                              " The compressed file %s is %2.2f percent of it's original size. ",
                              name, percent);
                iMessageBox(text, "Lockquill(TM) Message: iCompressFile ", report_style);
            }
        }
    } else {
        CzMemoryStreams& ms = MemoryStreams;
        if (result == 0 && (larger || (int64_t)ms.out_pos + CZ_COMP_STATS_SIZE > ms.in_length)) {
            iMessageBox(
                " The compressed buffer is larger than the original buffer.  CANCELLING BUFFER "
                "COMPRESSION.",
                compress_error, error_style);
            result = -15;
        }
        if (result == 0) {
            record->originalsize = ms.in_length;
            record->compressedsize = ms.out_pos;
            if (ms.out_pos + CZ_COMP_STATS_SIZE >= ms.out_capacity &&
                cz_resize_output(ms.out_pos + CZ_COMP_STATS_SIZE + 1) != 0) {
                lq_message_format(
                    " COULD NOT allocate memory to append Compression Header to Output Buffer");
                result = -18;
            } else {
                cz_comp_stats_pack(record, ms.out_buffer + ms.out_pos);
                ms.out_pos += CZ_COMP_STATS_SIZE;
            }
        }
    }

    lq_progress_end();
    if (result != 0 && szMessageBuffer[0]) lq_message_show(compress_error, error_style);
    return result;
}

int iExpandFile(const char* name, int flag, CompStats* record) {
    (void)flag;
    MemoryStreams.io_error = 0;
    szMessageBuffer[0] = 0;
    FileInformation info;
    std::memset(&info, 0, sizeof info);
    Mode mode = fix_mode();
    if (mode == Mode::file && !name) return -1;
    if (!MemoryStreams.in_buffer && !name) return -2;
    if (mode == Mode::mixed) return -1;
    bool file = mode == Mode::file;

    int result = 0;
    std::vector<char> backup_buffer(name ? std::strlen(name) + 8 : 1, 0);
    char* backup = backup_buffer.data();
    BitFile* input = nullptr;
    CzStream* output = nullptr;
    if (!file) {
        CzMemoryStreams& ms = MemoryStreams;
        const uint8_t* end = ms.in_buffer + ms.in_length;
        if (ms.in_length < CZ_COMP_STATS_SIZE ||
            (int16_t)(uint16_t)(end[-2] | (end[-1] << 8)) != CZ_COMP_STATS_SIZE) {
            lq_message_format(" Size mismatch, scssize != pcs_data->structsize");
            lq_message_show(expand_error, error_style);
            return -6;
        }
        cz_comp_stats_unpack(record, end - CZ_COMP_STATS_SIZE);
        ms.in_length -= CZ_COMP_STATS_SIZE;
        input = OpenInputBitFile(nullptr);
    } else {
        if (check_remnant(name, backup, expand_error) != 0) return -5;
        if (iGetDateTimeAttribsRemoveReadOnly(name, &info) != 0) return -3;
        if (iReadCompStats(record, name) != 0) {
            restore_read_only(name, info);
            return -4;
        }
        if (lGetDiskFree(name) < record->originalsize) {
            restore_read_only(name, info);
            lq_message_format(" There is not enough free media space to expand: %s", name);
            lq_message_show(expand_error, error_style);
            return -1;
        }
        int moved =
            move_to_backup(name, backup, info, "expansion", expand_warning, expand_error, -5);
        if (moved != 0) return moved;
        input = OpenInputBitFile(backup);
        // The coder sees the coded data only, as in memory mode: a cut or
        // damaged stream must not run on into the record.
        if (input)
            cz_stream_limit(input->stream, (int64_t)lGetFileSize(backup) - CZ_COMP_STATS_SIZE);
    }

    if (!input) {
        lq_message_format(" OpenInputBitFile failed ");
        result = -7;
    } else if (file && !(output = cz_stream_open(name, "wb"))) {
        lq_message_format(" COULD NOT open the file %s for writing/expansion ", name);
        CloseInputBitFile(input);
        result = -10;
    } else {
        MemoryStreams.out_pos = 0;
        lq_progress_begin(record->algorithm == CZ_ALGORITHM_ARITH ? " Maximum expansion of "
                                                                  : " Speed expansion of ",
                          progress_name(record), (uint32_t)record->originalsize);
        bool arith = record->algorithm == CZ_ALGORITHM_ARITH;
        int coded;
        {
            ModelMemoryCap cap;
            coded = arith ? iArithExpand(input, output, 3) : iLzssExpand(input, output);
        }
        // A write that fails at the close would leave a short file.
        if (output && cz_stream_close(output) != 0 && coded == 0) coded = -1;
        CloseInputBitFile(input);
        if (coded != 0) {
            format_coder_error(
                arith ? " Arith-N file expansion error: %i " : " LZSS file expansion error: %i ",
                coded, arith, "The compressed data is kept.");
            result = coded;
        } else if (MemoryStreams.out_pos != record->originalsize) {
            // The format has no checksum; a stream that ends early or late
            // (a damaged one) is caught here at least, before the compressed
            // data is wiped.
            lq_message_format(
                " The data expanded from %s is %ld bytes long, but its record says %ld: the "
                "compressed data is damaged.  NOTHING WAS EXPANDED. ",
                name ? name : " Editor buffer ", (long)MemoryStreams.out_pos,
                (long)record->originalsize);
            result = -11;
        }
        lq_progress_end();
        if (result == 0) szMessageBuffer[0] = 0;
    }

    if (file) {
        if (result == 0) {
            if (iWipeFile(backup, 0) != 0) return -1;
            if (iSetDateTimeAttribs(name, &info) != 0) return -1;
            return 0;
        }
        char pending[LQ_MESSAGE_BUFFER_SIZE];
        std::strcpy(pending, szMessageBuffer);
        szMessageBuffer[0] = 0;
        if (roll_back(name, backup, info) != 0) return -1;
        if (pending[0]) std::strcpy(szMessageBuffer, pending);
    }
    if (result != 0 && szMessageBuffer[0]) lq_message_show(expand_error, error_style);
    return result;
}
