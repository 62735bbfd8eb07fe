// Private notes: the life of an encrypted text in the editor as a person lives
// it (dialogs typed into key by key, OK clicked only when enabled).
#include <tuple>

#include "app/encryption_dialogs.h"
#include "compress/memory_streams.h"
#include "crypt/veil_reader.h"
#include "crypt/veilmix.h"
#include "tests/app/gui_harness.h"

namespace {
using NoteTest = LqGuiTest;
const char open_title[] = "Select the Encrypted text file to edit...",
           name_title[] = "Name the Encrypted Text file as...";
const std::string letter =
    "Private notes\r\n\r\nThe deeds are in the grey box; the code is the\r\nyear the orchard "
    "was planted, backwards.\r\n\r\nPay the gardener on the first.  Tell no one.\r\n";
std::string long_note() {  // long enough for both coders to pay
    std::string s;
    for (int i = 0; i < 12; ++i) s += std::to_string(i) + ". " + letter;
    return s;
}
}  // namespace

// Secure New, type, Save, close, Secure Open, edit, save, open: the text is
// back.  Short texts refuse compression (a box).
TEST_F(NoteTest, NewSaveCloseOpenEditSave) {
    // text, compression asked, compression stored
    const std::tuple<std::string, int, int> cases[] = {
        {letter, 0, 0}, {long_note(), 2, 2}, {long_note(), 1, 1}, {"", 1, 0}, {"x", 2, 0}};
    for (int i = 0; i < 5; ++i) {
        const auto& [text, asked, stored] = cases[i];
        SCOPED_TRACE(i);
        const std::string name = "note" + std::to_string(i) + ".ent",
                          refused = i > 2 ? "Lockquill(TM) ERROR: iCompressFile /16\n" : "";
        command(IDM_SECURE_NEW);
        HWND w = hwndActiveChild;
        type_text(w, text);
        answer_encrypt(asked, false, false, i == 1 ? "encrypt_dialog" : nullptr,
                       "Where was the orchard planted?\r\nAsk for the gardener's name.");
        file_command(IDM_SECURE_SAVE, name, name_title);
        VeilStats r = {};
        int16_t size = 0;
        EXPECT_EQ(lq_scan_encrypted_text(path(name).c_str(), &r, &size, 0, 0), 0);
        EXPECT_EQ(r.compression * 10 + word(w, GWW_MODIFIED), stored * 10);
        EXPECT_TRUE(r.originalsize == int32_t(text.size()) && r.dosdate != 0);
        EXPECT_EQ(gPassword1[0] | gPassword2[0] | VeilmixState.keyLength, 0) << "forgotten";
        EXPECT_EQ(lq_gui_captions(), refused);
        command(IDM_SECURE_CLOSE);
        ASSERT_FALSE(IsWindow(w));
        if (i == 0) answer_decrypt(nullptr), file_command(IDM_SECURE_OPEN, name, open_title);
        EXPECT_EQ(hwndActiveChild, nullptr);  // Cancel opens nothing
        answer_decrypt(P1, P2, i == 1 ? "decrypt_dialog" : nullptr);
        file_command(IDM_SECURE_OPEN, name, open_title);
        w = hwndActiveChild;
        EXPECT_EQ(edit_text(w) + std::to_string(word(w, GWW_ENCRYPTED) * 2 + word(w, GWW_MODIFIED)),
                  text + "2");
        type_text(w, "P.S. ");
        answer_encrypt(asked);
        command(IDM_SECURE_SAVE);
        command(IDM_SECURE_CLOSE);
        answer_decrypt();
        file_command(IDM_SECURE_OPEN, name, open_title);
        EXPECT_EQ(edit_text(hwndActiveChild), "P.S. " + text);
        EXPECT_TRUE(ofnShared.Flags & LQ_OFN_DONT_ADD_TO_RECENT);
        command(IDM_SECURE_CLOSE);
        EXPECT_FALSE(MemoryStreams.in_buffer || MemoryStreams.out_buffer) << "left in memory mode";
        EXPECT_EQ(lq_gui_captions(), refused);
    }
    // Wrong passwords: garbled text, or the size warning when the garbage
    // holds a zero byte; the window opens either way.
    for (int warned : {0, 1}) {
        const std::string text = warned ? long_note() : "abc", name = std::to_string(warned);
        command(IDM_SECURE_NEW);
        type_text(hwndActiveChild, text);
        answer_encrypt();
        file_command(IDM_SECURE_SAVE, name, name_title);
        command(IDM_SECURE_CLOSE);
        answer_decrypt(P2, P1);
        HWND opened = hAddEditWindow(path(name).c_str(), TRUE);
        EXPECT_TRUE(opened && edit_text(opened) != text);
        EXPECT_EQ(lq_gui_captions(),
                  warned ? "Lockquill(TM) WARNING: iLoadEncryptedEditFile /48\n" : "");
    }
}

// The password dialogs' rules after every key: OK only for acceptable
// passwords, the confirmation wiped when it can't match, 20 characters at
// most; then Speed and Size, Enter and Escape ignored, OK.
TEST_F(NoteTest, DialogRulesKeyByKey) {
    // control, keys typed, OK enabled then, the first confirmation's text then
    typedef std::tuple<int, const char*, bool, const char*> Step;
    // clang-format off
    const Step decrypt_steps[] = {{101, "abcdef", 0, ""}, {103, "uvwxyz", 0, ""}, {101, "g", 0, ""},
        {103, "z", 1, ""}, {103, "\b", 0, ""}, {103, "h", 1, ""}, {101, "\b", 0, ""},
        {101, "g", 1, ""}, {103, "\b\b\b\b\b\b\b", 0, ""}, {103, "abcdefg", 0, ""},
        {101, "0123456789abcdefghijklmn", 0, ""}};
    const Step encrypt_steps[] = {{205, "abcdef", 0, ""}, {205, "g", 0, ""}, {207, "hijklmn", 0, ""},
        {208, "hijklmn", 0, ""}, {206, "abcdef", 0, "abcdef"}, {206, "X", 0, ""},
        {206, "abcdefg", 1, "abcdefg"}, {207, "o", 0, "abcdefg"}, {207, "\b", 1, "abcdefg"},
        {208, "\b", 0, "abcdefg"}, {208, "n", 1, "abcdefg"}};
    // clang-format on
    for (bool encrypt : {false, true}) {
        lq_gui_on_dialog([&](HWND dlg) {
            for (auto [id, keys, ok, confirm1] : encrypt ? encrypt_steps : decrypt_steps) {
                type_keys(dlg, id, keys);
                SCOPED_TRACE(keys);
                EXPECT_EQ(lq_gui_enabled(dlg, encrypt ? IDC_ENC_OK : IDC_DEC_OK), ok);
                if (encrypt) EXPECT_EQ(lq_gui_item_text(dlg, IDC_ENC_CONFIRM1), confirm1);
            }
            if (!encrypt) {
                EXPECT_EQ(lq_gui_item_text(dlg, IDC_DEC_PASSWORD1).size(), 20u);
                return lq_gui_click(dlg, IDC_DEC_CANCEL);
            }
            for (int id : {IDC_ENC_SPEED, IDC_ENC_SIZE}) lq_gui_click(dlg, id);
            type_keys(dlg, IDC_ENC_RIDDLE, std::string(1030, 'r'));
            SetFocus(GetDlgItem(dlg, IDC_ENC_PASSWORD1));
            lq_gui_key(VK_RETURN);
            lq_gui_key(VK_ESCAPE);
            lq_gui_again(dlg, [](HWND d) {
                EXPECT_TRUE(IsWindowVisible(d)) << "Enter or Escape closed the dialog";
                EXPECT_TRUE(IsDlgButtonChecked(d, IDC_ENC_SIZE) &&
                            !IsDlgButtonChecked(d, IDC_ENC_SPEED));
                lq_gui_click(d, IDC_ENC_OK);
            });
        });
        gMakeBackupEnabled = 1;
        EXPECT_EQ(
            encrypt ? lq_run_encryption_dialog(&gVeilStats) : lq_run_decryption_dialog(&gVeilStats),
            encrypt);
    }
    EXPECT_EQ(
        std::string(gPassword1) + gPassword2 + std::to_string(gVeilStats.riddlelength) + gRiddle,
        "abcdefghijklmn1024" + std::string(1023, 'r'));
    EXPECT_EQ(gVeilStats.compression, 1);
}
