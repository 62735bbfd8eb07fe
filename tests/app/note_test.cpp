// Private notes: the whole life of an encrypted text in the editor, driven as
// a person drives it (Secure menu, name dialog, password dialogs typed into
// key by key, OK clicked only when enabled), and the password dialogs' rules.
#include <cstring>

#include "app/editor_encrypted.h"
#include "app/encryption_dialogs.h"
#include "compress/memory_streams.h"
#include "crypt/encrypted_text.h"
#include "crypt/veil_reader.h"
#include "crypt/veilmix.h"
#include "crypt/veilmix_file.h"
#include "tests/app/editor_support.h"
#include "fileops/wipe.h"

namespace {
using NoteTest = LqGuiTest;

const char P1[] = "Nightjar7", P2[] = "Kestrel42";
const char open_title[] = "Select the Encrypted text file to edit...";
const char name_title[] = "Name the Encrypted Text file as...";
const std::string letter =
    "Private notes\r\n\r\nThe deeds are in the grey box; the code is the\r\nyear the orchard "
    "was planted, backwards.\r\n\r\nPay the gardener on the first.  Tell no one.\r\n";
// Long enough for both coders to pay.
std::string long_note() {
    std::string s;
    for (int i = 0; i < 12; ++i) s += std::to_string(i) + ". " + letter;
    return s;
}

// Types keys into a control as the keyboard does ('\b' is Backspace).
void type(HWND dlg, int id, const std::string& keys) {
    for (char c : keys) SendMessageA(GetDlgItem(dlg, id), WM_CHAR, WPARAM(uint8_t(c)), 1);
}
bool ok_enabled(HWND dlg, int id) { return IsWindowEnabled(GetDlgItem(dlg, id)) != 0; }

// Answers the encryption dialog: each password and its confirmation, the
// Riddle, Speed (2) or Size (1), Read Only; then OK (or Cancel).
void answer_encrypt(int compression, const std::string& riddle = "", bool read_only = false,
                    bool cancel = false, const char* shot = nullptr) {
    lq_gui_on_dialog([=](HWND dlg) {
        type(dlg, IDC_ENC_PASSWORD1, P1);
        type(dlg, IDC_ENC_CONFIRM1, P1);
        type(dlg, IDC_ENC_PASSWORD2, P2);
        type(dlg, IDC_ENC_CONFIRM2, P2);
        SetDlgItemTextA(dlg, IDC_ENC_RIDDLE, riddle.c_str());
        if (compression) SendDlgItemMessageA(dlg, compression == 2 ? 1017 : 1018, BM_CLICK, 0, 0);
        if (read_only != (IsDlgButtonChecked(dlg, IDC_ENC_READONLY) == BST_CHECKED))
            SendDlgItemMessageA(dlg, IDC_ENC_READONLY, BM_CLICK, 0, 0);
        EXPECT_TRUE(ok_enabled(dlg, IDC_ENC_OK));
        lq_gui_again(dlg, [=](HWND d) {
            if (shot) lq_gui_screenshot(d, shot);
            lq_gui_click(d, cancel ? IDC_ENC_CANCEL : IDC_ENC_OK);
        });
    });
}

// Answers the decryption dialog with the two passwords (OK) or Cancel, after
// checking what it shows.
void answer_decrypt(const char* p1 = P1, const char* p2 = P2, bool cancel = false,
                    const char* status = "Status: OK !", const char* shot = nullptr) {
    lq_gui_on_dialog([=](HWND dlg) {
        EXPECT_EQ(lq_gui_text(dlg), std::string("Decrypt ") + szFileTitle);
        EXPECT_EQ(lq_gui_item_text(dlg, IDC_DEC_STATUS), status);
        EXPECT_FALSE(IsWindowEnabled(GetDlgItem(dlg, IDC_DEC_BACKUP)));
        type(dlg, IDC_DEC_PASSWORD1, p1);
        type(dlg, IDC_DEC_PASSWORD2, p2);
        if (shot) {
            lq_gui_again(dlg, [=](HWND d) {
                lq_gui_screenshot(d, shot);
                lq_gui_click(d, IDC_DEC_OK);
            });
            return;
        }
        lq_gui_click(dlg, cancel ? IDC_DEC_CANCEL : IDC_DEC_OK);
    });
}

VeilStats trailers(const std::string& name) {
    VeilStats r = {};
    int16_t size = 0;
    EXPECT_EQ(lq_scan_encrypted_text(name.c_str(), &r, &size, 0, 0), 0);
    return r;
}

// The file's text, read by the load's own core under the two passwords.
std::string decrypt(const std::string& name) {
    VeilStats r = trailers(name);
    std::strcpy(gPassword1, P1);
    std::strcpy(gPassword2, P2);
    LqSecretBlock text;
    int32_t n = 0;
    EXPECT_EQ(lq_read_encrypted_text(name.c_str(), &r, &text, &n), 0);
    return text.data ? std::string(reinterpret_cast<char*>(text.data), size_t(n)) : "";
}

// Secure, Open; the caller has queued the decryption dialog's answer after
// the open dialog's (open_dialog_first).
void open_dialog_first(const std::string& name) { lq_gui_choose_file(name, open_title); }
HWND secure_open() {
    SendMessageA(hwndFrame, WM_COMMAND, IDM_SECURE_OPEN, 0);
    return hwndActiveChild;
}
}  // namespace

// Secure New, type, Save (name dialog, encryption dialog), close, Secure
// Open, the text is back; edit and save again.  Also the Secure menu's file
// decryption reads what the editor wrote.
TEST_F(NoteTest, NewSaveCloseOpenEditSave) {
    struct Case {
        std::string text;
        int asked, stored;
    } cases[] = {{letter, 0, 0}, {long_note(), 2, 2}, {long_note(), 1, 1}, {"", 1, 0}, {"x", 2, 0}};
    int i = 0;
    for (const Case& c : cases) {
        SCOPED_TRACE(i);
        const std::string name = path("note" + std::to_string(i++) + ".ent");
        command(IDM_SECURE_NEW);
        HWND w = hwndActiveChild;
        type_text(w, c.text);
        lq_gui_choose_file(name, name_title);
        answer_encrypt(c.asked, "Where was the orchard planted?\r\nAsk for the gardener's name.",
                       false, false, i == 2 ? "encrypt_dialog" : nullptr);
        command(IDM_SECURE_SAVE);
        EXPECT_EQ(word(w, GWW_MODIFIED), 0);
        VeilStats r = trailers(name);
        EXPECT_EQ(r.compression, c.stored);
        EXPECT_EQ(r.originalsize, int32_t(c.text.size()));
        EXPECT_NE(r.dosdate, 0);
        EXPECT_EQ(std::string(gRiddle).substr(0, 6), "Where ");
        EXPECT_EQ(gPassword1[0] | gPassword2[0], 0) << "passwords emptied after the save";
        command(IDM_SECURE_CLOSE);
        ASSERT_FALSE(IsWindow(w));

        open_dialog_first(name);
        answer_decrypt(P1, P2, false, "Status: OK !", i == 2 ? "decrypt_dialog" : nullptr);
        w = secure_open();
        ASSERT_TRUE(w);
        EXPECT_EQ(edit_text(w), c.text);
        EXPECT_EQ(word(w, GWW_ENCRYPTED), 1);
        EXPECT_EQ(word(w, GWW_MODIFIED), 0);
        if (i == 1) {
            MoveWindow(hwndFrame, 0, 0, 640, 300, TRUE);
            ShowWindow(w, SW_MAXIMIZE);
            lq_gui_pump();
            lq_gui_screenshot(hwndFrame, "decrypted_note");
        }
        type_text(w, "P.S. ");
        answer_encrypt(c.asked);
        command(IDM_SECURE_SAVE);
        command(IDM_SECURE_CLOSE);
        open_dialog_first(name);
        answer_decrypt();
        w = secure_open();
        EXPECT_EQ(edit_text(w), "P.S. " + c.text);
        command(IDM_SECURE_CLOSE);
        EXPECT_EQ(MemoryStreams.in_buffer, nullptr);
        EXPECT_EQ(MemoryStreams.out_buffer, nullptr);

        // Decrypt a File gives the same text (an empty data part stays refused there).
        if (c.text.empty()) continue;
        VeilStats file = trailers(name);
        std::strcpy(gPassword1, P1);
        std::strcpy(gPassword2, P2);
        EXPECT_EQ(iVeilmixFile(name.c_str(), &file, -1), 0);
        EXPECT_EQ(read_file(name), "P.S. " + c.text);
    }
    // Only the short texts' compressions were refused, each with its box.
    for (const RecordedBox& b : lq_boxes())
        EXPECT_EQ(b.caption, "Lockquill(TM) ERROR: iCompressFile ") << lq_boxes_dump();
    EXPECT_EQ(lq_boxes().size(), 4u) << lq_boxes_dump();
}

// Wrong passwords: garbled text, or the size warning when the garbage holds a
// zero byte; the window opens either way.
TEST_F(NoteTest, WrongPasswordsGiveGarbledTextOrTheSizeWarning) {
    struct Case {
        std::string text;
        size_t boxes;
    } cases[] = {{"abc", 0}, {long_note(), 1}};
    for (const Case& c : cases) {
        lq_boxes_clear();
        const std::string name = path("w" + std::to_string(c.text.size()) + ".ent");
        HWND w = hAddEditWindow(nullptr, TRUE);
        SetWindowTextA(edit_of(w), c.text.c_str());
        lq_gui_choose_file(name, name_title);
        answer_encrypt(0);
        ASSERT_EQ(iSaveFile(w), 0);
        SendMessageA(w, WM_CLOSE, 0, 0);
        answer_decrypt("Kestrel42", "Nightjar7");
        HWND opened = hAddEditWindow(name.c_str(), TRUE);
        ASSERT_TRUE(opened);
        EXPECT_NE(edit_text(opened), c.text);
        ASSERT_EQ(lq_boxes().size(), c.boxes) << lq_boxes_dump();
        if (c.boxes)
            EXPECT_BOX(0, "Lockquill(TM) WARNING: iLoadEncryptedEditFile ",
                       " The size of the file is different than the amount of text copied to "
                       "this editor window.  THE FILE MAY BE TOO LARGE FOR THE EDITOR AND/OR MAY "
                       "CONTAIN NON-TEXT CHARACTERS!",
                       48);
    }
}

// Cancel in every dialog of the way leaves every file as it was.
TEST_F(NoteTest, CancelInEachDialogLeavesEveryFileUntouched) {
    const std::string name = path("keep.ent");
    HWND w = hAddEditWindow(nullptr, TRUE);
    type_text(w, long_note());
    lq_gui_choose_file(name, name_title);
    answer_encrypt(2);
    command(IDM_SECURE_SAVE);
    const std::string before = read_file(name);
    type_text(w, "changed ");
    auto untouched = [&] {
        EXPECT_EQ(read_file(name), before);
        EXPECT_EQ(list_dir(dir()), std::vector<std::string>{"keep.ent"});
        EXPECT_EQ(gPassword1[0] | gPassword2[0], 0);
    };
    lq_gui_cancel_file_dialog(name_title);
    command(IDM_SECURE_SAVEAS);
    untouched();
    answer_encrypt(0, "", false, true);
    command(IDM_SECURE_SAVE);
    untouched();
    EXPECT_EQ(word(w, GWW_MODIFIED), 1);
    SetWindowWord(w, GWW_MODIFIED, 0);
    command(IDM_SECURE_CLOSE);
    lq_gui_cancel_file_dialog(open_title);
    command(IDM_SECURE_OPEN);
    untouched();
    answer_decrypt(P1, P2, true);
    EXPECT_EQ(hAddEditWindow(name.c_str(), TRUE), nullptr);
    untouched();
    EXPECT_TRUE(editor_windows().empty());
    EXPECT_TRUE(lq_boxes().empty()) << lq_boxes_dump();
}

// Over a read-only encrypted file, and a failure at each write and flush of
// the save: the old file stays byte for byte, attributes included.
TEST_F(NoteTest, SaveOverReadOnlyFileAndFailuresKeepTheOldFile) {
    const std::string name = path("ro.ent");
    HWND w = hAddEditWindow(nullptr, TRUE);
    type_text(w, long_note());
    lq_gui_choose_file(name, name_title);
    answer_encrypt(1, "", true);
    ASSERT_EQ(iSaveFile(w), 0);
    ASSERT_TRUE(pf_get_attributes(name.c_str()) & PF_ATTR_READONLY);
    for (PfFaultOp op : {PF_FAULT_WRITE, PF_FAULT_FLUSH}) {
        type_text(w, "Again: ");
        const std::string old = read_file(name);
        const uint32_t attributes = pf_get_attributes(name.c_str());
        int failures = 0;
        for (int n = 1; n < 20; ++n) {
            SCOPED_TRACE(n);
            lq_boxes_clear();
            answer_encrypt(2);
            pf_fault_arm(op, n);
            if (iSaveFile(w) == 0) break;
            ++failures;
            EXPECT_EQ(read_file(name), old);
            EXPECT_EQ(pf_get_attributes(name.c_str()), attributes);
            EXPECT_EQ(list_dir(dir()), std::vector<std::string>{"ro.ent"}) << lq_boxes_dump();
            EXPECT_EQ(word(w, GWW_MODIFIED), 1);
            ASSERT_FALSE(lq_boxes().empty());
            EXPECT_EQ(lq_boxes().back().caption, "Lockquill(TM) ERROR: iSaveEncryptedEditFile ");
            pf_fault_reset();
        }
        // The save that went through had the fault still armed for a call
        // after it (the wipe of the old copy): what that left goes.
        pf_fault_reset();
        for (const std::string& f : list_dir(dir()))
            if (f != "ro.ent") iWipeFile(path(f).c_str(), 0);
        EXPECT_GE(failures, op == PF_FAULT_WRITE ? 3 : 1);
        EXPECT_TRUE(pf_get_attributes(name.c_str()) & PF_ATTR_READONLY);
        EXPECT_EQ(decrypt(name), edit_text(w));
    }
}

// A file of each older record size opens (mode 2, the Riddle inside the
// record): the records are the fuzz corpus's, around a text encrypted here.
TEST_F(NoteTest, OlderRecordSizesOpen) {
    struct Case {
        const char* corpus;
        int size, checksum_at;
    } cases[] = {{"legacy_774", 774, 653},
                 {"legacy_390", 390, 269},
                 {"legacy_287", 287, 267},
                 {"legacy_277", 277, 267}};
    const std::string text = "Written long ago,\r\nstill to be read.\r\n";
    for (const Case& c : cases) {
        SCOPED_TRACE(c.corpus);
        std::string b = read_file(lq_source_dir() + "/fuzz/corpus/veil_stats/" + c.corpus);
        std::string record = b.substr(b.size() - size_t(c.size - 2));
        VeilStats mode2 = {};
        mode2.mode = 2;
        std::strcpy(gPassword1, P1);
        std::strcpy(gPassword2, P2);
        std::string data = text;
        gByteSum = 0;
        iResetVeilmix(&mode2);
        iVeilmix(uint32_t(data.size()), reinterpret_cast<uint8_t*>(&data[0]), &mode2, 1, 0, "");
        const uint32_t fields[2] = {gByteSum, uint32_t(data.size())};
        for (int i = 0; i < 8; ++i)
            record[size_t(c.checksum_at + i)] = char(fields[i / 4] >> (8 * (i % 4)));
        const std::string name = path(std::string(c.corpus) + ".ent");
        write_file(name, data + record + char(c.size & 0xFF) + char(c.size >> 8));
        lq_gui_on_dialog([](HWND dlg) {
            EXPECT_EQ(lq_gui_item_text(dlg, IDC_DEC_VERSION), "Version:3.0 c   Mode:2");
            EXPECT_EQ(lq_gui_item_text(dlg, IDC_DEC_RIDDLE), "old one");
            EXPECT_EQ(lq_gui_item_text(dlg, IDC_DEC_STATUS), "Status: OK !");
            type(dlg, IDC_DEC_PASSWORD1, P1);
            type(dlg, IDC_DEC_PASSWORD2, P2);
            lq_gui_click(dlg, IDC_DEC_OK);
        });
        HWND w = hAddEditWindow(name.c_str(), FALSE);
        ASSERT_TRUE(w);
        EXPECT_EQ(edit_text(w), text);
        EXPECT_EQ(word(w, GWW_ENCRYPTED), 1);
    }
    EXPECT_TRUE(lq_boxes().empty()) << lq_boxes_dump();
}

// The password dialogs' rules, checked after every key: OK enabled only for
// acceptable passwords, the confirmation wiped when it can't match, the
// 20-character limit; then Speed and Size, Enter and Escape, Help, OK.
TEST_F(NoteTest, DialogRulesKeyByKey) {
    struct Step {
        int id;
        const char* keys;
        bool ok;               // OK enabled after the last key
        const char* confirm1;  // the first confirmation's text then (encryption dialog)
    };
    const Step decrypt_steps[] = {
        {101, "abcdef", false, ""},
        {103, "uvwxyz", false, ""},
        {101, "g", false, ""},
        {103, "z", true, ""},
        {103, "\b", false, ""},
        {103, "h", true, ""},
        {101, "\b", false, ""},
        {101, "g", true, ""},
        {103, "\b\b\b\b\b\b\b", false, ""},
        {103, "abcdefg", false, ""},
        {101, "0123456789abcdefghijklmn", false, ""},
    };
    const Step encrypt_steps[] = {
        {205, "abcdef", false, ""},        {205, "g", false, ""},
        {207, "hijklmn", false, ""},       {208, "hijklmn", false, ""},
        {206, "abcdef", false, "abcdef"},  {206, "X", false, ""},
        {206, "abcdefg", true, "abcdefg"}, {207, "o", false, "abcdefg"},
        {207, "\b", true, "abcdefg"},      {208, "\b", false, "abcdefg"},
        {208, "n", true, "abcdefg"},
    };
    for (bool encrypt : {false, true}) {
        lq_gui_on_dialog([&](HWND dlg) {
            for (const Step& s : encrypt ? encrypt_steps : decrypt_steps) {
                type(dlg, s.id, s.keys);
                SCOPED_TRACE(s.keys);
                EXPECT_EQ(ok_enabled(dlg, encrypt ? IDC_ENC_OK : IDC_DEC_OK), s.ok);
                if (encrypt) EXPECT_EQ(lq_gui_item_text(dlg, IDC_ENC_CONFIRM1), s.confirm1);
            }
            if (!encrypt) {
                EXPECT_EQ(lq_gui_item_text(dlg, IDC_DEC_PASSWORD1).size(), 20u);
                lq_gui_click(dlg, IDC_DEC_CANCEL);
                return;
            }
            for (int id : {IDC_ENC_SPEED, IDC_ENC_SIZE}) lq_gui_click(dlg, id);
            type(dlg, IDC_ENC_RIDDLE, std::string(1030, 'r'));
            SetFocus(GetDlgItem(dlg, IDC_ENC_PASSWORD1));
            lq_gui_key(VK_RETURN);
            lq_gui_key(VK_ESCAPE);
            lq_gui_click(dlg, IDC_ENC_HELP);
            lq_gui_again(dlg, [](HWND d) {
                EXPECT_TRUE(IsWindowVisible(d)) << "Enter or Escape closed the dialog";
                EXPECT_EQ(IsDlgButtonChecked(d, IDC_ENC_SPEED), BST_UNCHECKED);
                EXPECT_EQ(IsDlgButtonChecked(d, IDC_ENC_SIZE), BST_CHECKED);
                lq_gui_click(d, IDC_ENC_OK);
            });
        });
        gMakeBackupEnabled = 1;
        EXPECT_EQ(
            encrypt ? lq_run_encryption_dialog(&gVeilStats) : lq_run_decryption_dialog(&gVeilStats),
            encrypt ? 1 : 0);
    }
    EXPECT_STREQ(gPassword1, "abcdefg");
    EXPECT_STREQ(gPassword2, "hijklmn");
    EXPECT_EQ(gVeilStats.compression, 1);
    EXPECT_EQ(std::string(gRiddle), std::string(1023, 'r'));
    EXPECT_EQ(gVeilStats.riddlelength, 1024);
    ASSERT_EQ(lq_gui_help_calls().size(), 1u);
    EXPECT_EQ(lq_gui_help_calls()[0].key, "Encrypting any File, the Encrypt a File dialog box");
}
