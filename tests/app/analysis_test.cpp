// File analysis (5004, 5005): the dialog's pixels, lines and title, and the
// same four numbers as lockquill-cli analyze.
#include <windows.h>

#include <algorithm>
#include <cstdio>
#include <cstring>
#include <fstream>
#include <string>
#include <vector>

#include "app/app.h"
#include "crypt/veil_stats.h"
#include "crypt/veilmix.h"
#include "crypt/veilmix_file.h"
#include "tests/app/gui_harness.h"

namespace {

using AnalysisTest = LqGuiTest;

const uint32_t gray = 0xC0C0C0;

std::vector<std::string> four_lines(HWND dlg) {
    std::vector<std::string> v;
    for (int id : {707, 708, 709, 711}) v.push_back(lq_gui_item_text(dlg, id));
    return v;
}

// Checks the histogram on screen against the counts of bytes: the most
// common values' lines reach the top of the area, rarer values stand lower,
// absent values draw nothing, and ticks stand below 0, 64, 128, 192 and 255.
void expect_histogram(HWND dlg, const std::string& bytes) {
    uint32_t count[256] = {}, most = 0;
    for (unsigned char b : bytes) most = std::max(most, ++count[b]);
    RECT d, a;
    GetWindowRect(dlg, &d);
    GetWindowRect(GetDlgItem(dlg, 706), &a);
    OffsetRect(&a, -d.left, -d.top - GetSystemMetrics(SM_CYMENU));
    const int inner = a.bottom - a.top - 2;  // the outline rows left out
    for (int v = 0; v < 256; ++v) {
        const int x = a.left + v + 2;
        int n = 0, tick = 0;
        for (int y = a.top + 1; y <= a.bottom - 2; ++y) n += lq_gui_pixel(dlg, x, y) != gray;
        for (int y = a.bottom + 1; y < a.bottom + 5; ++y)
            tick += lq_gui_pixel(dlg, x, y) != lq_gui_pixel(dlg, a.left - 3, y);
        if (count[v] == most)
            EXPECT_EQ(n, inner) << "value " << v;
        else if (count[v])
            EXPECT_TRUE(n > 0 && n < inner) << "value " << v << ": " << n;
        else
            EXPECT_EQ(n, 0) << "value " << v;
        EXPECT_EQ(tick > 0, v % 64 == 0 || v == 255) << "tick at " << v;
    }
}

// The four lines lockquill-cli prints for the file (its output goes to `out`).
std::vector<std::string> cli_lines(const std::string& options, const std::string& file,
                                   const std::string& out) {
    SECURITY_ATTRIBUTES sa = {sizeof sa, nullptr, TRUE};
    HANDLE h = CreateFileA(out.c_str(), GENERIC_WRITE, FILE_SHARE_READ, &sa, CREATE_ALWAYS, 0, 0);
    std::string exe = "Z:" LQ_CLI_PATH, line;
    std::replace(exe.begin(), exe.end(), '/', '\\');
    line = "\"" + exe + "\" analyze " + options + "\"" + file + "\"";
    STARTUPINFOA si = {sizeof si};
    si.dwFlags = STARTF_USESTDHANDLES;
    si.hStdOutput = si.hStdError = h;
    PROCESS_INFORMATION pi = {};
    EXPECT_TRUE(CreateProcessA(exe.c_str(), &line[0], 0, 0, TRUE, 0, 0, 0, &si, &pi));
    WaitForSingleObject(pi.hProcess, 20000);
    for (HANDLE x : {pi.hThread, pi.hProcess, h}) CloseHandle(x);
    std::ifstream in(out);
    std::vector<std::string> lines(4);
    for (std::string& l : lines)
        if (std::getline(in, l) && !l.empty() && l.back() == '\r') l.pop_back();
    return lines;
}

// The dialog's lines agree with lockquill-cli's; its histogram is drawn
// again at every paint (Esc is not handled); the pictures show a text's
// spread beside the flat one of the same text encrypted.
TEST_F(AnalysisTest, DialogShowsHistogramAndTheCommandLinesNumbers) {
    std::string text;
    for (int i = 0; i < 120; ++i)
        text += "Meet me at the old mill at " + std::to_string(i) + " pm.\r\n";
    write_file(path("secret.ENT"), text);
    std::strcpy(gPassword1, "lantern7");
    std::strcpy(gPassword2, "harbour9");
    std::strcpy(gRiddle, "the usual");
    ASSERT_EQ(iVeilmixFile(path("secret.ENT").c_str(), &gVeilStats, 1), 0);
    struct Case {
        int command;
        std::string file, bytes;         // bytes: written to file (the histogram's source)
        std::vector<std::string> lines;  // empty: the command line's
        const char* picture;
    } cases[] = {
        {5004,
         "a.bin",
         std::string(1000, 'A'),
         {"Most Common Byte Value: 65", "Number of Most Common: 1000", "Average occurance: 3",
          "Total Bytes: 1000"},
         nullptr},
        {5004,
         "b.bin",
         std::string(300, char(200)) + std::string(300, char(10)) + std::string(100, char(7)),
         {"Most Common Byte Value: 10", "Number of Most Common: 300", "Average occurance: 2",
          "Total Bytes: 700"},
         nullptr},
        {5004, "note.txt", text, {}, "analysis_text"},
        {5005, "secret.ENT", "", {}, "analysis_encrypted"}};
    for (const Case& c : cases) {
        SCOPED_TRACE(c.file);
        if (!c.bytes.empty()) write_file(path(c.file), c.bytes);
        std::vector<std::string> shown;
        lq_gui_choose_file(path(c.file), c.command == 5004
                                             ? "Select the file to analize..."
                                             : "Select the Encrypted file to analize...");
        lq_gui_on_dialog([&](HWND dlg) {
            EXPECT_EQ(lq_gui_text(dlg), "Analysis of " + c.file);
            shown = four_lines(dlg);
            if (c.picture) lq_gui_screenshot(dlg, c.picture);
            if (!c.bytes.empty()) expect_histogram(dlg, c.bytes);
            lq_gui_key(VK_ESCAPE);
            InvalidateRect(dlg, nullptr, TRUE);
            lq_gui_again(dlg, [&](HWND dlg) {
                ASSERT_TRUE(IsWindowVisible(dlg));
                if (!c.bytes.empty()) expect_histogram(dlg, c.bytes);
                lq_gui_click(dlg, 710);
            });
        });
        command(c.command);
        std::vector<std::string> cli =
            cli_lines(c.command == 5005 ? "--encrypted " : "", path(c.file), path("cli.out"));
        EXPECT_EQ(shown, cli);
        if (!c.lines.empty()) {
            EXPECT_EQ(shown, c.lines);
        }
    }
    EXPECT_TRUE(lq_boxes().empty()) << lq_boxes_dump();
}

// A file that cannot be read (locked, or too short for the record its last
// two bytes announce) gets our message; a plain file given to the encrypted
// analysis gets the reader's refusal; none opens the dialog.
TEST_F(AnalysisTest, UnreadableOrRefusedFileOpensNoDialog) {
    write_file(path("plain.txt"), "just text, no trailers");
    write_file(path("cut.ENT"), std::string(98, 1) + std::string("\x87\0", 2));
    HANDLE lock =
        CreateFileA(path("plain.txt").c_str(), GENERIC_READ, 0, nullptr, OPEN_EXISTING, 0, nullptr);
    ASSERT_NE(lock, INVALID_HANDLE_VALUE);
    struct Case {
        int command;
        const char* file;
        const char* caption;
        const char* text;
    } cases[] = {
        {5004, "plain.txt", "Lockquill(TM) ERROR: iAnalyzeFile",
         " Could not read the file %s to analyze it."},
        {5005, "cut.ENT", "Lockquill(TM) ERROR: iAnalyzeEncryptedFile",
         " Could not read the file %s as an encrypted file to analyze it."},
        {5005, "plain.txt", "Lockquill(TM) ERROR: iReadVeilStats ",
         " The file %s is either not supported in this version or not a Lockquill Encrypted "
         "file "},
    };
    for (const Case& c : cases) {
        if (c.command == 5005) CloseHandle(lock);
        lq_boxes_clear();
        lq_gui_choose_file(path(c.file));
        command(c.command);
        char want[512];
        std::snprintf(want, sizeof want, c.text, path(c.file).c_str());
        ASSERT_EQ(lq_boxes().size(), 1u) << lq_boxes_dump();
        EXPECT_BOX(0, c.caption, want, 16);
    }
    lq_boxes_clear();
    lq_gui_cancel_file_dialog("Select the Encrypted file to analize...");
    command(5005);
    EXPECT_TRUE(lq_boxes().empty());
}

}  // namespace
