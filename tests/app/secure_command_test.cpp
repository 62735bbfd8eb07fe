// Secure menu file commands through their open and password dialogs (the
// files left, the boxes, Cancel and failures), and File analysis: the
// dialog's pixels, lines and title against lockquill-cli analyze.
#include <algorithm>
#include <cstring>
#include <tuple>

#include "crypt/veilmix.h"
#include "crypt/veilmix_file.h"
#include "uu/uu_codec.h"
#include "tests/app/gui_harness.h"

namespace {
using SecureCommandTest = LqGuiTest;
using Files = std::vector<std::string>;

const std::string plain = [] {  // long enough for the compressors to gain on it
    std::string s;
    for (int i = 0; i < 40; ++i)
        s += "Dear diary, the key is under stone " + std::to_string(i) + ".\r\n";
    return s;
}();
// The encrypted form: data, Riddle, record ending in its size 135.
bool looks_encrypted(const std::string& bytes) {
    return bytes.size() > 137 && bytes.substr(bytes.size() - 2) == std::string("\x87\0", 2) &&
           bytes.find("Dear diary") == std::string::npos;
}

// Encrypt (read-only asked) and decrypt in place; encrypt to UU, decrypt and
// edit from it, decrypt from it; Save as UU of an "Untitled" window (a
// cancelled name dialog encodes and wipes nothing).  Only the final file stays.
TEST_F(SecureCommandTest, EncryptThenDecryptInPlaceAndThroughUU) {
    write_file(path("a.txt"), plain);
    answer_encrypt(0, true);
    file_command(IDM_SECURE_ENCRYPT, "a.txt", "Select the file to Encrypt...");
    EXPECT_TRUE(looks_encrypted(read_file(path("a.txt"))) && list_dir(dir()).size() == 1);
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
    EXPECT_EQ(list_dir(dir()), Files{"a.uet"});
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

// Cancel in the open dialog or in the password dialog leaves every file as it
// was; the decoding commands wipe the file they decoded.
TEST_F(SecureCommandTest, CancelAnywhereLeavesTheFilesAsTheyWere) {
    for (const char* f : {"a.txt", "b.txt", "c.ENT"}) write_file(path(f), plain);
    answer_encrypt();
    file_command(IDM_SECURE_ENCRYPT_UU, "a.txt");
    answer_encrypt();
    file_command(IDM_SECURE_ENCRYPT, "c.ENT");
    const std::string uu = read_file(path("a.uet")), enc = read_file(path("c.ENT"));
    const std::pair<int, const char*> cases[] = {
        {1023, "b.txt"}, {112, "b.txt"}, {1021, "c.ENT"}, {111, "a.uet"}, {1026, "a.uet"}};
    for (auto [id, file] : cases) {
        lq_gui_cancel_file_dialog();
        command(id);
        (id == 1023 || id == 112) ? answer_encrypt(0, false, true) : answer_decrypt(nullptr);
        file_command(id, file);
        EXPECT_EQ(list_dir(dir()), (Files{"a.uet", "b.txt", "c.ENT"})) << id;
        EXPECT_EQ(read_file(path("a.uet")) + read_file(path("c.ENT")) + read_file(path("b.txt")),
                  uu + enc + plain);
    }
    EXPECT_TRUE(editor_windows().empty());
    EXPECT_EQ(lq_gui_captions(), "");
}

// Makes the write of the UU header itself fail.
void fail_uu_header_write(PfFile, int64_t, const void* data, uint32_t n) {
    if (n >= 9 && std::memcmp(data, "begin 666", 9) == 0) pf_fault_arm(PF_FAULT_WRITE, 1);
}

// Encrypt then UU encode when the encoding fails: the encrypted file stays; a
// UU file that was there before is never touched, one the failed call made is
// wiped.  Decoding then decrypting that fails (a cut UU file, a damaged
// record, a wrong password on compressed data): the UU file stays and no
// decoded file is left behind.
TEST_F(SecureCommandTest, FailedEncodingOrDecodingKeepsTheFileItStartedFrom) {
    for (bool existing : {true, false}) {
        for (const std::string& f : list_dir(dir())) pf_delete(path(f).c_str());
        write_file(path("a.txt"), plain);
        if (existing) write_file(path("a.uet"), "keep");
        pf_set_write_observer(existing ? nullptr : fail_uu_header_write);
        answer_encrypt();
        file_command(IDM_SECURE_ENCRYPT_UU, "a.txt");
        pf_set_write_observer(nullptr);
        EXPECT_TRUE(looks_encrypted(read_file(path("a.txt"))));
        EXPECT_EQ(list_dir(dir()).size(), existing ? 2u : 1u);
        if (existing) EXPECT_EQ(read_file(path("a.uet")), "keep");
        EXPECT_EQ(lq_gui_captions().substr(0, 33), existing ? "Lockquill(TM) WARNING: iUUEncode/"
                                                            : "Lockquill(TM) ERROR: iUUEncode /1");
    }
    write_file(path("a.txt"), plain);
    answer_encrypt(2);
    file_command(IDM_SECURE_ENCRYPT_UU, "a.txt");
    std::string uu = read_file(path("a.uet"));
    write_file(path("cut.uet"), uu.substr(0, uu.size() / 2));
    // A damaged record: the last two bytes give a record size no version wrote.
    char line[UU_LINE_CHARS];
    size_t n = uu_encode_line(reinterpret_cast<const uint8_t*>("data\x88\0"), 6, line);
    write_file(path("d.uet"), "begin 666 d.txt\r\n" + std::string(line, n) + "\r\n`\r\nend\r\n");
    const struct {
        int command;
        const char *file, *caption;  // a.uet: after wrong passwords
    } cases[] = {{111, "cut.uet", "Lockquill(TM) ERROR: decode"},
                 {1026, "cut.uet", "Lockquill(TM) ERROR: decode"},
                 {111, "d.uet", "Lockquill(TM) ERROR: iReadVeilStats "},
                 {111, "a.uet", "Lockquill(TM) ERROR: iReadCompStats "},
                 {1026, "a.uet", "Lockquill(TM) ERROR: iExpand "}};
    for (const auto& c : cases) {
        SCOPED_TRACE(std::to_string(c.command) + " " + c.file);
        if (c.file[0] == 'a') answer_decrypt("wrongp1", "wrongp2");
        file_command(c.command, c.file);
        EXPECT_EQ(list_dir(dir()), (Files{"a.uet", "cut.uet", "d.uet"}));
        EXPECT_EQ(read_file(path("a.uet")), uu);
        EXPECT_EQ(lq_gui_captions().substr(0, std::strlen(c.caption) + 1),
                  c.caption + std::string("/"));
    }
    EXPECT_TRUE(editor_windows().empty());
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

// The dialog's lines agree with lockquill-cli's (two values of equal count:
// the smaller named); each scan starts from zero counts; the histogram is
// drawn again at every paint (Esc is not handled); the pictures show a
// text's spread beside the flat one of the same text encrypted.  A file that
// cannot be read (locked, too short for the record its last two bytes
// announce) gets our box, a plain file given to the encrypted analysis the
// reader's refusal; none opens the dialog.
TEST_F(SecureCommandTest, AnalysisShowsHistogramAndTheCommandLinesNumbers) {
    std::string text;
    for (int i = 0; i < 120; ++i)
        text += "Meet me at the old mill at " + std::to_string(i) + " pm.\r\n";
    write_file(path("secret.ENT"), text);
    set_passwords();
    ASSERT_EQ(iVeilmixFile(path("secret.ENT").c_str(), &gVeilStats, 1), 0);
    const struct {
        int command;
        std::string file, bytes;  // bytes: written to file (the histogram's source)
        const char* picture;
    } cases[] = {{5004, "b.bin",
                  std::string(300, char(200)) + std::string(300, '\n') + std::string(100, 7), ""},
                 {5004, "note.txt", text, "analysis_text"},
                 {5005, "secret.ENT", "", "analysis_encrypted"}};
    for (const auto& c : cases) {
        SCOPED_TRACE(c.file);
        if (!c.bytes.empty()) write_file(path(c.file), c.bytes);
        std::string shown;
        lq_gui_on_dialog([&](HWND dlg) {
            EXPECT_EQ(lq_gui_text(dlg), "Analysis of " + c.file);
            for (int id : {707, 708, 709, 711}) shown += lq_gui_item_text(dlg, id) + "\n";
            if (*c.picture) lq_gui_screenshot(dlg, c.picture);
            if (!c.bytes.empty()) expect_histogram(dlg, c.bytes);
            lq_gui_key(VK_ESCAPE);
            InvalidateRect(dlg, nullptr, TRUE);
            lq_gui_again(dlg, [&](HWND dlg) {
                ASSERT_TRUE(IsWindowVisible(dlg));
                if (!c.bytes.empty()) expect_histogram(dlg, c.bytes);
                lq_gui_click(dlg, IDC_ANALYSIS_OK);
            });
        });
        file_command(c.command, c.file,
                     c.command == 5004 ? "Select the file to analize..."
                                       : "Select the Encrypted file to analize...");
        SECURITY_ATTRIBUTES sa = {sizeof sa, nullptr, TRUE};
        HANDLE out =
            CreateFileA(path("cli.out").c_str(), GENERIC_WRITE, 0, &sa, CREATE_ALWAYS, 0, 0);
        std::string exe = "Z:" LQ_CLI_PATH, printed;
        std::replace(exe.begin(), exe.end(), '/', '\\');
        HANDLE cli =
            lq_gui_start("\"" + exe + "\" analyze " +
                             (c.command == 5005 ? "--encrypted \"" : "\"") + path(c.file) + "\"",
                         out);
        WaitForSingleObject(cli, 20000);
        for (HANDLE h : {cli, out}) CloseHandle(h);
        for (char ch : read_file(path("cli.out"))) printed += ch == '\r' ? "" : std::string(1, ch);
        EXPECT_EQ(shown, printed.substr(0, shown.size()));
        if (c.file == "b.bin")
            EXPECT_EQ(shown,
                      "Most Common Byte Value: 10\nNumber of Most Common: 300\n"
                      "Average occurance: 2\nTotal Bytes: 700\n");
    }
    write_file(path("plain.txt"), "just text, no trailers");
    write_file(path("cut.ENT"), std::string(98, 1) + std::string("\x87\0", 2));
    HANDLE lock = CreateFileA(path("plain.txt").c_str(), GENERIC_READ, 0, 0, OPEN_EXISTING, 0, 0);
    file_command(5004, "plain.txt");
    CloseHandle(lock);
    file_command(5005, "cut.ENT");
    file_command(5005, "plain.txt");
    lq_gui_cancel_file_dialog("Select the Encrypted file to analize...");
    command(5005);
    EXPECT_EQ(lq_boxes_text(dir() + "\\"),
              "Lockquill(TM) ERROR: iAnalyzeFile| Could not read the file @plain.txt to analyze "
              "it.|16\nLockquill(TM) ERROR: iAnalyzeEncryptedFile| Could not read the file "
              "@cut.ENT as an encrypted file to analyze it.|16\nLockquill(TM) ERROR: "
              "iReadVeilStats | The file @plain.txt is either not supported in this version or not "
              "a Lockquill Encrypted file |16\n");
}
}  // namespace
