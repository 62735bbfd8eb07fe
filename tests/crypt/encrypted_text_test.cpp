// Encrypted text load and save (round trips: tests/cli/note_cli_test.sh): a failure at each
// step keeps the old file, with its message; the load's warning box.
#include "crypt/encrypted_text.h"
#include "crypt/veil_reader.h"
#include "tests/crypt/crypt_test_util.h"
namespace {
using EncryptedText = CryptTest;

TEST_F(EncryptedText, FailuresKeepTheOldFile) {
    const std::string p = path("old.ent");
    auto save = [&](const std::string& text, int16_t compression) {
        std::strcpy(gPassword1, "Nightjar7"), std::strcpy(gPassword2, "Kestrel42");
        iDefaultVeilStats(&gVeilStats);
        gVeilStats.compression = compression;
        LqSecretBlock b;
        EXPECT_EQ(b.get(uint32_t(text.size() + 1)), 0);
        text.copy(reinterpret_cast<char*>(b.data), text.size());
        return lq_write_encrypted_text(p.c_str(), &gVeilStats, &b, uint32_t(text.size()));
    };
    ASSERT_EQ(save("old text", 0), 0);
    const std::string before = read_file(p);
    const std::tuple<bool, int16_t, PfFaultOp, int, std::string> rows[] = {
        {true, 0, PF_FAULT_WRITE, 1, " Writing to the encrypted output file\r\n " + p + " failed."},
        {true, 2, PF_FAULT_WRITE, 1,
         " Writing to the encrypted compressed output file\r\n " + p + " failed."},
        {true, 0, PF_FAULT_WRITE, 2,
         " Writing the Riddle to the encrypted output file\r\n " + p + " failed"},
        {true, 0, PF_FAULT_WRITE, 3,
         " Writing the Header to the encrypted output file\r\n " + p + " failed"},
        {true, 1, PF_FAULT_ALLOC, 2,
         " Global write compressed output file memory buffer allocation failed."},
        {false, 0, PF_FAULT_ALLOC, 1, " Global load file memory buffer allocation failed."},
        {false, 0, PF_FAULT_READ, 1, " Global read file into allocated memory buffer failed."},
        {false, 0, PF_FAULT_OPEN, 1, " The file " + p + " failed to open for editing."},
        {false, 0, PF_FAULT_COUNT_, 0, ""},  // then the old text loads
    };
    for (const auto& [saving, compression, op, n, text] : rows) {
        SCOPED_TRACE(text);
        lq_boxes_clear();
        int16_t header = 0;
        int32_t expected = 0;
        LqSecretBlock b;
        ASSERT_EQ(saving ? 0 : lq_scan_encrypted_text(p.c_str(), &gVeilStats, &header, 1, 1), 0);
        if (n) pf_fault_arm(op, n);
        EXPECT_EQ(saving ? save(std::string(9000, 'x'), compression)
                         : lq_read_encrypted_text(p.c_str(), &gVeilStats, &b, &expected),
                  n ? -1 : 0);
        pf_fault_reset();
        if (n)
            EXPECT_BOX(0, saving ? lq_save_text_error_caption : lq_load_text_error_caption, text,
                       LQ_MB_OK | LQ_MB_ICONSTOP);
        EXPECT_EQ(list_dir(dir()), std::vector<std::string>{"old.ent"});
        EXPECT_EQ(read_file(p), before);
        EXPECT_EQ(b.data ? std::string(reinterpret_cast<char*>(b.data)) : "<released>",
                  n ? "<released>" : "old text");
    }
    lq_warn_encrypted_text_size();
    EXPECT_BOX(0, "Lockquill(TM) WARNING: iLoadEncryptedEditFile ",
               " The size of the file is different than the amount of text copied to this editor "
               "window.  THE FILE MAY BE TOO LARGE FOR THE EDITOR AND/OR MAY CONTAIN NON-TEXT "
               "CHARACTERS!",
               LQ_MB_OK | LQ_MB_ICONEXCLAMATION);
}

}  // namespace
