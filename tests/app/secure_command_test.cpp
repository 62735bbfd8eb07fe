// Secure menu file commands through their open and password dialogs (the
// files left, the boxes, Cancel), and File analysis: the dialog's pixels,
// lines and title.  (The operations' failure paths are the native suites'.)
#include <algorithm>
#include <cstring>

#include "crypt/veilmix.h"
#include "crypt/veilmix_file.h"
#include "tests/app/gui_harness.h"

namespace {
using SecureCommandTest = LqGuiTest;

const std::string plain = [] {  // long enough for the compressors to gain on it
    std::string s;
    for (int i = 0; i < 40; ++i)
        s += "Dear diary, the key is under stone " + std::to_string(i) + ".\r\n";
    return s;
}();

// Encrypt (read-only asked) and decrypt in place; encrypt to UU, decrypt and
// edit from it, decrypt from it; Save as UU of an "Untitled" window (a
// cancelled name dialog encodes and wipes nothing).  Only the final file stays.
TEST_F(SecureCommandTest, EncryptThenDecryptInPlaceAndThroughUU) {
    write_file(path("a.txt"), plain);
    answer_encrypt(0, false, true);  // Cancel: nothing changes
    file_command(IDM_SECURE_ENCRYPT, "a.txt");
    EXPECT_EQ(read_file(path("a.txt")) + lq_gui_captions(), plain);
    answer_encrypt(0, true);
    file_command(IDM_SECURE_ENCRYPT, "a.txt", "Select the file to Encrypt...");
    const std::string enc = read_file(path("a.txt"));  // data, Riddle, record of size 135
    EXPECT_TRUE(enc.find("Dear") == enc.npos &&
                enc.substr(enc.size() - 2) == std::string("\x87\0", 2));
    EXPECT_EQ(list_dir(dir()).size(), 1u);
    EXPECT_TRUE(pf_get_attributes(path("a.txt").c_str()) & PF_ATTR_READONLY);
    answer_decrypt();
    file_command(IDM_SECURE_DECRYPT, "a.txt", "Select the file to Decrypt...");
    EXPECT_EQ(
        read_file(path("a.txt")) + std::to_string(pf_get_attributes(path("a.txt").c_str()) & 1),
        plain + "0");
    answer_encrypt(2);
    file_command(IDM_SECURE_ENCRYPT_UU, "a.txt",
                 "Select the file to Encrypt and then UU encode...");
    EXPECT_EQ(list_dir(dir())[0] + read_file(path("a.uet")).substr(0, 17),
              "a.uetbegin 666 a.txt\r\n");
    answer_decrypt();
    file_command(IDM_SECURE_OPEN_UU, "a.uet", "Select the UU Encoded file to Decrypt and edit...");
    EXPECT_EQ(list_dir(dir()), std::vector<std::string>{"a.uet"});
    EXPECT_EQ(edit_text(hwndActiveChild), plain);
    answer_decrypt();
    file_command(IDM_SECURE_DECRYPT_UU, "a.uet", "Select the UU Encoded file to Decrypt...");
    EXPECT_EQ(list_dir(dir())[0] + read_file(path("a.txt")), "a.txt" + plain);
    pf_delete(path("a.txt").c_str());
    command(IDM_FILE_NEW);
    SetWindowTextA(edit_of(hwndActiveChild), plain.c_str());
    lq_gui_cancel_file_dialog();
    command(IDM_SECURE_SAVE_UU);
    EXPECT_TRUE(list_dir(dir()).empty());
    answer_encrypt();
    file_command(IDM_SECURE_SAVE_UU, "n.ENT");
    EXPECT_EQ(list_dir(dir())[0] + read_file(path("n.uet")).substr(0, 17),
              "n.uetbegin 666 n.ENT\r\n");
    answer_decrypt();
    file_command(IDM_SECURE_DECRYPT_UU, "n.uet");
    EXPECT_EQ(list_dir(dir())[0] + read_file(path("n.ENT")) + lq_gui_captions(), "n.ENT" + plain);
}

// The histogram on screen against the counts of bytes: the most common
// values' lines reach the top of the area, rarer values stand lower, absent
// values draw nothing; ticks stand below 0, 64, 128, 192 and 255.
void expect_histogram(HWND dlg, const std::string& bytes) {
    uint32_t count[256] = {}, most = 0;
    for (unsigned char b : bytes) most = std::max(most, ++count[b]);
    RECT d, a;
    GetWindowRect(dlg, &d);
    GetWindowRect(GetDlgItem(dlg, IDC_ANALYSIS_AREA), &a);
    OffsetRect(&a, -d.left, -d.top - GetSystemMetrics(SM_CYMENU));
    const int inner = a.bottom - a.top - 2;  // the outline rows left out
    for (int v = 0, x = a.left + 2; v < 256; ++v, ++x) {
        int n = 0, tick = 0;
        for (int y = a.top + 1; y <= a.bottom - 2; ++y) n += lq_gui_pixel(dlg, x, y) != 0xC0C0C0;
        for (int y = a.bottom + 1; y < a.bottom + 5; ++y)
            tick += lq_gui_pixel(dlg, x, y) != lq_gui_pixel(dlg, a.left - 3, y);
        EXPECT_TRUE(count[v] == most ? n == inner
                    : count[v]       ? n > 0 && n < inner
                                     : n == 0)
            << "value " << v << ": " << n;
        EXPECT_EQ(tick > 0, v % 64 == 0 || v == 255) << "tick at " << v;
    }
}

// The dialog's lines for a file of known counts (two values of equal count:
// the smaller named); the histogram drawn again at every paint (Esc is not
// handled); the encrypted analysis of a text encrypted here.  A file that
// cannot be read (locked, too short for the record its last two bytes
// announce) gets our box and no dialog.
TEST_F(SecureCommandTest, AnalysisShowsHistogramAndFigures) {
    write_file(path("secret.ENT"), plain);
    std::strcpy(gPassword1, P1);
    std::strcpy(gPassword2, P2);
    ASSERT_EQ(iVeilmixFile(path("secret.ENT").c_str(), &gVeilStats, 1), 0);
    const std::string bytes =
        std::string(300, char(200)) + std::string(300, '\n') + std::string(100, 7);
    write_file(path("b.bin"), bytes);
    for (int id : {5004, 5005}) {
        const std::string file = id == 5004 ? "b.bin" : "secret.ENT";
        std::string shown;
        lq_gui_on_dialog([&](HWND dlg) {
            EXPECT_EQ(lq_gui_text(dlg), "Analysis of " + file);
            for (int item : {707, 708, 709, 711}) shown += lq_gui_item_text(dlg, item) + "\n";
            if (id == 5005)
                return lq_gui_screenshot(dlg, "analysis_encrypted"),
                       lq_gui_click(dlg, IDC_ANALYSIS_OK);
            expect_histogram(dlg, bytes);
            lq_gui_key(VK_ESCAPE);
            InvalidateRect(dlg, nullptr, TRUE);
            lq_gui_again(dlg, [&](HWND dlg) {
                ASSERT_TRUE(IsWindowVisible(dlg));
                expect_histogram(dlg, bytes);
                lq_gui_click(dlg, IDC_ANALYSIS_OK);
            });
        });
        file_command(id, file,
                     id == 5004 ? "Select the file to analize..."
                                : "Select the Encrypted file to analize...");
        EXPECT_EQ(shown, id == 5005 ? shown.substr(0, shown.find("Total")) + "Total Bytes: " +
                                          std::to_string(gDataLength) + "\n"  // the scan's
                                    : "Most Common Byte Value: 10\nNumber of Most Common: 300\n"
                                      "Average occurance: 2\nTotal Bytes: 700\n");
    }
    write_file(path("plain.txt"), "just text, no trailers");
    write_file(path("cut.ENT"), std::string(98, 1) + std::string("\x87\0", 2));
    HANDLE lock = CreateFileA(path("plain.txt").c_str(), GENERIC_READ, 0, 0, OPEN_EXISTING, 0, 0);
    file_command(5004, "plain.txt");
    CloseHandle(lock);
    file_command(5005, "cut.ENT");
    EXPECT_EQ(lq_boxes_text(dir() + "\\"),
              "Lockquill(TM) ERROR: iAnalyzeFile| Could not read the file @plain.txt to analyze "
              "it.|16\nLockquill(TM) ERROR: iAnalyzeEncryptedFile| Could not read the file "
              "@cut.ENT as an encrypted file to analyze it.|16\n");
}
}  // namespace
