#include "uu/uu_common.h"

#include <cctype>
#include <cstdlib>
#include <cstring>
#include <string>
#include <utility>

#include "fileops/progress.h"

char szTargetFilename[LQ_MAX_PATH];

const char* const UU_READ_FAILED = " Could not read the file: %s";

int uu_find_header(UuStream& s, const char* path, const char* name_buffer, bool text_first,
                   int field_count, const UuHeaderTexts& texts, UuHeader& h) {
    h = UuHeader();
    h.text = text_first;
    // Every pass that changes the mode or the field order reopens the file;
    // each can happen once, so the loop ends after at most three reopenings.
    for (;;) {
        if (!uu_open_read(s, path, h.text)) {
            lq_message_format(h.text ? texts.open_failed_text : texts.open_failed_raw, path);
            return -1;
        }
        const char* line;
        size_t len;
        while ((line = uu_read_line(s, UU_HEADER_LINE, &len)) && !uu_is_begin_line(line, len)) {
        }
        if (!line) {
            lq_message_format(s.failed ? UU_READ_FAILED : " No 'beginning line' in the file: %s",
                              path);
            return -1;
        }
        if (uu_split_header(line, len, h.field, field_count) != UU_FIELDS_OK) {
            lq_message_format(
                " The 'beginning line' of the file %s holds a field longer than %i characters.",
                path, int(UU_FIELD_SIZE - 1));
            return -1;
        }
        if (h.exchanged) std::swap(h.field[0], h.field[1]);
        if (h.settled) return 0;

        UuModeWord mode = uu_mode_word(h.field[0]);
        if (mode == UU_MODE_TEXT && !h.text) {
            h.text = true;
            h.settled = true;
            continue;
        }
        if (mode == UU_MODE_RAW && h.text) {
            h.text = false;
            h.settled = true;
            continue;
        }
        if (!h.exchanged && uu_mode_word(h.field[1]) != UU_MODE_UNKNOWN) {
            h.exchanged = true;
            continue;
        }
        if (mode != UU_MODE_UNKNOWN) return 0;

        lq_message_format(
            " The UU Encoding Mode Flag %s within the file %s DOES NOT match the Mode Flags used "
            "by Lockquill, select YES to continue with manual control(s)!",
            h.field[0], name_buffer);
        if (lq_message_show(texts.question_caption, UU_STYLE_QUESTION) != LQ_IDYES) return 1;
        lq_message_format(" Select YES to switch the FILENAME:%s with the MODE FLAG:%s ",
                          name_buffer, h.field[0]);
        if (lq_message_show(texts.question_caption, UU_STYLE_QUESTION) == LQ_IDYES)
            h.exchanged = true;
        lq_message_format(
            " Select YES to UU DeCode the FILENAME:%s using BINARY MODE (Source was UNIX System)",
            name_buffer);
        lq_message_append(
            " Select NO to UU DeCode using TEXT MODE (Source was DOS/NT/Windows System)");
        h.text = lq_message_show(texts.question_caption, UU_STYLE_QUESTION) != LQ_IDYES;
        h.settled = true;
    }
}

int uu_refuse_name(const char* name, const char* path) {
    lq_message_format(
        " The file name '%s' in the file %s is refused: a name with a folder, a drive, a wildcard,"
        " or '.' or '..', could place the output outside the folder of that file.",
        name, path);
    return -1;
}

static bool same_ignoring_case(const char* a, const char* b) {
    for (; *a && *b; ++a, ++b)
        if (std::toupper((unsigned char)*a) != std::toupper((unsigned char)*b)) return false;
    return *a == *b;
}

// Volume and file index, or false when the file cannot be opened.
static bool identity_of(const char* path, uint32_t id[3]) {
    PfFile f = pf_open(path, PF_ACCESS_READ, PF_SHARE_READ | PF_SHARE_WRITE | PF_SHARE_DELETE,
                       PF_OPEN_EXISTING);
    if (f == PF_INVALID_FILE) return false;
    FileInformation info;
    bool ok = pf_get_file_information(f, &info);
    pf_close(f);
    id[0] = info.dwVolumeSerialNumber;
    id[1] = info.nFileIndexHigh;
    id[2] = info.nFileIndexLow;
    return ok;
}

bool uu_same_file(const char* a, const char* b) {
    if (same_ignoring_case(a, b)) return true;
    uint32_t ia[3], ib[3];
    return identity_of(a, ia) && identity_of(b, ib) && std::memcmp(ia, ib, sizeof ia) == 0;
}

bool uu_in_part_series(const char* name, const char* part_name) {
    const char* dot = std::strrchr(part_name, '.');
    size_t stem = dot ? size_t(dot - part_name) : std::strlen(part_name);
    if (std::strlen(name) < stem + 4 || name[stem] != '.') return false;
    for (size_t i = 0; i < stem; ++i)
        if (std::toupper((unsigned char)name[i]) != std::toupper((unsigned char)part_name[i]))
            return false;
    const char* ext = name + stem + 1;
    if (std::toupper((unsigned char)ext[0]) != 'U' || std::strlen(ext) > 5) return false;
    for (const char* p = ext + 1; *p; ++p)
        if (*p < '0' || *p > '9') return false;
    char formed[16];
    uu_part_extension(std::atoi(ext + 1), formed);
    return same_ignoring_case(formed, ext);
}

bool uu_path_beside(char* target, const char* path, const char* name_buffer, const char* name) {
    size_t path_len = std::strlen(path);
    size_t cut = std::strlen(name_buffer);
    size_t folder = cut <= path_len ? path_len - cut : 0;
    size_t name_len = std::strlen(name);
    if (folder + name_len >= LQ_MAX_PATH) {
        target[0] = 0;
        lq_message_format(" The path of the file %s beside %s is too long.", name, path);
        return false;
    }
    std::memmove(target, path, folder);
    std::memcpy(target + folder, name, name_len + 1);
    return true;
}

const char* uu_final_component(const char* path) {
    const char* name = path;
    for (const char* p = path; *p; ++p)
        if (*p == '\\' || *p == '/') name = p + 1;
    return name;
}

int uu_restore_attribs(const char* path, const FileInformation* info) {
    std::string kept = szMessageBuffer;
    int r = iSetDateTimeAttribs(path, info);
    if (r == 0) lq_message_format("%s", kept.c_str());
    return r;
}

void UuProgress::add(uint32_t n) {
    if (!hwndProgress) return;
    pending += n;
    if (pending >= 65536) flush();
}

void UuProgress::flush() {
    if (pending && hwndProgress) lq_progress_step(pending);
    pending = 0;
}
