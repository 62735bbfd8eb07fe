// Secure menu file commands driven through their open and password dialogs:
// the files left on disk, the boxes shown, Cancel and failure paths.
#include <cstring>

#include "platform/fault.h"
#include "uu/uu_codec.h"
#include "tests/app/editor_support.h"

namespace {

using SecureCommandTest = LqGuiTest;
using Files = std::vector<std::string>;

// Long enough for the compressors to gain on it.
const std::string plain = [] {
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

TEST_F(SecureCommandTest, EncryptThenDecryptInPlaceAndThroughUU) {
    write_file(path("a.txt"), plain);
    lq_gui_choose_file(path("a.txt"), "Select the file to Encrypt...");
    answer_encrypt(0, true);
    command(1023);
    EXPECT_EQ(list_dir(dir()), Files{"a.txt"});
    EXPECT_TRUE(looks_encrypted(read_file(path("a.txt"))));
    EXPECT_TRUE(pf_get_attributes(path("a.txt").c_str()) & PF_ATTR_READONLY);

    lq_gui_choose_file(path("a.txt"), "Select the file to Decrypt...");
    answer_decrypt();
    command(1021);
    EXPECT_EQ(read_file(path("a.txt")), plain);
    EXPECT_FALSE(pf_get_attributes(path("a.txt").c_str()) & PF_ATTR_READONLY);

    lq_gui_choose_file(path("a.txt"), "Select the file to Encrypt and then UU encode...");
    answer_encrypt(2);
    command(112);
    EXPECT_EQ(list_dir(dir()), Files{"a.uet"});
    EXPECT_EQ(read_file(path("a.uet")).substr(0, 17), "begin 666 a.txt\r\n");

    lq_gui_choose_file(path("a.uet"), "Select the UU Encoded file to Decrypt and edit...");
    answer_decrypt();
    command(1026);
    EXPECT_EQ(list_dir(dir()), Files{"a.uet"});
    ASSERT_EQ(editor_windows().size(), 1u);
    EXPECT_EQ(edit_text(editor_windows()[0]), plain);

    lq_gui_choose_file(path("a.uet"), "Select the UU Encoded file to Decrypt...");
    answer_decrypt();
    command(111);
    EXPECT_EQ(list_dir(dir()), Files{"a.txt"});
    EXPECT_EQ(read_file(path("a.txt")), plain);
    EXPECT_TRUE(lq_boxes().empty()) << lq_boxes_dump();

    // Command 1027 on an "Untitled" window: a cancelled name dialog encodes
    // and wipes nothing; a named save leaves only the UU file, which decodes
    // and decrypts back to the window's text.
    pf_delete(path("a.txt").c_str());
    command(1001);
    SetWindowTextA(edit_of(hwndActiveChild), plain.c_str());
    lq_gui_cancel_file_dialog();
    command(1027);
    EXPECT_TRUE(list_dir(dir()).empty());
    lq_gui_choose_file(path("n.ENT"));
    answer_encrypt();
    command(1027);
    EXPECT_EQ(list_dir(dir()), Files{"n.uet"});
    EXPECT_EQ(read_file(path("n.uet")).substr(0, 17), "begin 666 n.ENT\r\n");
    lq_gui_choose_file(path("n.uet"));
    answer_decrypt();
    command(111);
    EXPECT_EQ(list_dir(dir()), Files{"n.ENT"});
    EXPECT_EQ(read_file(path("n.ENT")), plain);
    EXPECT_TRUE(lq_boxes().empty()) << lq_boxes_dump();
}

// Cancel in the open dialog or in the password dialog leaves every file as it
// was; commands 111 and 1026 wipe the file they decoded.
TEST_F(SecureCommandTest, CancelAnywhereLeavesTheFilesAsTheyWere) {
    for (const char* f : {"a.txt", "b.txt", "c.ENT"}) write_file(path(f), plain);
    for (int id : {112, 1023}) {
        lq_gui_choose_file(path(id == 112 ? "a.txt" : "c.ENT"));
        answer_encrypt();
        command(id);
    }
    const std::string uu = read_file(path("a.uet")), enc = read_file(path("c.ENT"));
    const std::pair<int, const char*> cases[] = {
        {1023, "b.txt"}, {112, "b.txt"}, {1021, "c.ENT"}, {111, "a.uet"}, {1026, "a.uet"}};
    for (auto [id, file] : cases) {
        lq_gui_cancel_file_dialog();
        command(id);
        lq_gui_choose_file(path(file));
        if (id == 1023 || id == 112)
            answer_encrypt(0, false, true);
        else
            answer_decrypt(nullptr);
        command(id);
        EXPECT_EQ(list_dir(dir()), (Files{"a.uet", "b.txt", "c.ENT"})) << id;
        EXPECT_EQ(read_file(path("a.uet")) + read_file(path("c.ENT")) + read_file(path("b.txt")),
                  uu + enc + plain);
    }
    EXPECT_TRUE(editor_windows().empty());
    EXPECT_TRUE(lq_boxes().empty()) << lq_boxes_dump();
}

// Makes the write of the UU header itself fail.
void fail_uu_header_write(PfFile, int64_t, const void* data, uint32_t n) {
    if (n >= 9 && std::memcmp(data, "begin 666", 9) == 0) pf_fault_arm(PF_FAULT_WRITE, 1);
}

// Encrypt then UU encode when the encoding fails: the encrypted file stays; a
// UU file that was there before is never touched, one the failed call made is
// wiped.  Decoding then decrypting that fails (a cut UU file, a damaged
// record, a wrong password on compressed data): the UU file stays and no
// decoded file is left behind, from 111 and from 1026.
TEST_F(SecureCommandTest, FailedEncodingOrDecodingKeepsTheFileItStartedFrom) {
    for (bool existing : {true, false}) {
        for (const std::string& f : list_dir(dir())) pf_delete(path(f).c_str());
        write_file(path("a.txt"), plain);
        if (existing) write_file(path("a.uet"), "keep");
        pf_set_write_observer(existing ? nullptr : fail_uu_header_write);
        lq_boxes_clear();
        lq_gui_choose_file(path("a.txt"));
        answer_encrypt();
        command(112);
        pf_set_write_observer(nullptr);
        EXPECT_TRUE(looks_encrypted(read_file(path("a.txt"))));
        EXPECT_EQ(list_dir(dir()), existing ? (Files{"a.txt", "a.uet"}) : Files{"a.txt"});
        if (existing) EXPECT_EQ(read_file(path("a.uet")), "keep");
        ASSERT_FALSE(lq_boxes().empty());
        EXPECT_EQ(lq_boxes()[0].caption, existing ? "Lockquill(TM) WARNING: iUUEncode"
                                                  : "Lockquill(TM) ERROR: iUUEncode ");
    }

    write_file(path("a.txt"), plain);
    lq_gui_choose_file(path("a.txt"));
    answer_encrypt(2);
    command(112);
    std::string uu = read_file(path("a.uet"));
    write_file(path("cut.uet"), uu.substr(0, uu.size() / 2));
    // A damaged record: the last two bytes give a record size no version wrote.
    char line[UU_LINE_CHARS];
    size_t n = uu_encode_line(reinterpret_cast<const uint8_t*>("data\x88\0"), 6, line);
    write_file(path("d.uet"), "begin 666 d.txt\r\n" + std::string(line, n) + "\r\n`\r\nend\r\n");
    struct Case {
        int command;
        const char* file;
        const char* caption;  // after the password dialog when the file is a.uet
    } cases[] = {{111, "cut.uet", "Lockquill(TM) ERROR: decode"},
                 {1026, "cut.uet", "Lockquill(TM) ERROR: decode"},
                 {111, "d.uet", "Lockquill(TM) ERROR: iReadVeilStats "},
                 {111, "a.uet", "Lockquill(TM) ERROR: iReadCompStats "},
                 {1026, "a.uet", "Lockquill(TM) ERROR: iExpand "}};
    for (const Case& c : cases) {
        SCOPED_TRACE(std::to_string(c.command) + " " + c.file);
        lq_boxes_clear();
        lq_gui_choose_file(path(c.file));
        if (c.file[0] == 'a') answer_decrypt("wrongp1", "wrongp2");
        command(c.command);
        EXPECT_EQ(list_dir(dir()), (Files{"a.uet", "cut.uet", "d.uet"}));
        EXPECT_EQ(read_file(path("a.uet")), uu);
        ASSERT_FALSE(lq_boxes().empty());
        EXPECT_EQ(lq_boxes()[0].caption, c.caption) << lq_boxes_dump();
    }
    EXPECT_TRUE(editor_windows().empty());
}

}  // namespace
