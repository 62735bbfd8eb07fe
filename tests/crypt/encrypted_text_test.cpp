// Encrypted text files in memory (the editor's encrypted load and save, and
// lockquill-cli show/write): round trips, the record, failures made to happen
// with the old file kept and the message under the load's or save's caption.
#include <string>

#include "crypt/encrypted_text.h"
#include "crypt/veil_reader.h"
#include "crypt/veilmix.h"
#include "tests/crypt/crypt_test_util.h"

namespace {

const unsigned STOP = LQ_MB_OK | LQ_MB_ICONSTOP;

class EncryptedText : public CryptTest {
  protected:
    void SetUp() override {
        CryptTest::SetUp();
        std::strcpy(gPassword1, "Nightjar7");
        std::strcpy(gPassword2, "Kestrel42");
    }
    int save(const std::string& p, const std::string& text, int16_t compression = 0,
             int16_t readonly = 0) {
        iDefaultVeilStats(&gVeilStats);
        gVeilStats.compression = compression, gVeilStats.readonly = readonly;
        std::strcpy(gRiddle, "orchard");
        LqSecretBlock b;
        EXPECT_EQ(b.get(uint32_t(text.size() + 1)), 0);
        text.copy(reinterpret_cast<char*>(b.data), text.size());
        return lq_write_encrypted_text(p.c_str(), &gVeilStats, &b, uint32_t(text.size()));
    }
    // The text as the load leaves it (up to the zero it adds), "<failed>" on failure.
    std::string load(const std::string& p) {
        int16_t header = 0;
        int32_t expected = -1;
        LqSecretBlock b;
        if (lq_scan_encrypted_text(p.c_str(), &gVeilStats, &header, 1, 1) != 0 ||
            lq_read_encrypted_text(p.c_str(), &gVeilStats, &b, &expected) != 0)
            return "<failed>";
        EXPECT_EQ(b.data[expected], 0);
        return std::string(reinterpret_cast<char*>(b.data), size_t(expected));
    }
};

std::string ledger() {
    std::string t;
    for (int i = 0; i < 2000; ++i) t += "Line " + std::to_string(i % 23) + " of the note\r\n";
    return t;
}

// Text that does not compress, without zero bytes.
std::string noise(size_t n) {
    std::string s = lq_random_bytes(n, 9);
    for (char& c : s) c = c ? c : 'z';
    return s;
}

// Stored, compressed both ways, compression that does not pay (stored, the
// record says 0), empty, read-only.
TEST_F(EncryptedText, RoundTripsAndTheRecord) {
    const std::string declined =
        " The compressed buffer is larger than the original buffer.  "
        "CANCELLING BUFFER COMPRESSION.";
    struct Row {
        std::string text;
        int16_t compression, readonly, stored_as;
        bool box;
    } rows[] = {{ledger(), 0, 0, 0, false},   {ledger(), 2, 0, 2, false},
                {ledger(), 1, 1, 1, false},   {noise(3000), 1, 0, 0, true},
                {noise(3000), 2, 0, 0, true}, {"", 0, 0, 0, false}};
    const std::string p = path("note.ent");
    for (const Row& r : rows) {
        SCOPED_TRACE(std::to_string(r.text.size()) + " " + std::to_string(r.compression));
        lq_boxes_clear();
        pf_fault_reset();
        ASSERT_EQ(save(p, r.text, r.compression, r.readonly), 0) << lq_boxes_dump();
        if (r.box)
            EXPECT_BOX(0, "Lockquill(TM) ERROR: iCompressFile ", declined, STOP);
        else
            EXPECT_TRUE(lq_boxes().empty()) << lq_boxes_dump();
        const std::string file = read_file(p);
        VeilStats rec;
        lq_veil_stats_unpack(reinterpret_cast<const uint8_t*>(file.data() + file.size() - 135),
                             &rec);
        EXPECT_EQ(rec.compression, r.stored_as);
        EXPECT_EQ(rec.originalsize, int32_t(r.text.size()));
        EXPECT_EQ(file.size() - 135 - 8, size_t(rec.datalength));
        EXPECT_EQ(file.substr(size_t(rec.datalength), 8), std::string("orchard\0", 8));
        EXPECT_EQ(pf_get_attributes(p.c_str()) & PF_ATTR_READONLY, r.readonly * PF_ATTR_READONLY);
        EXPECT_EQ(load(p), r.text) << lq_boxes_dump();
        set_readonly(p, false);
    }
}

// A failure at each step of the save keeps the old file; each load failure
// has its message; a text with a zero byte gets the load's warning.
TEST_F(EncryptedText, FailuresKeepTheOldFile) {
    const std::string p = path("old.ent"), q = path("none.ent");
    ASSERT_EQ(save(p, "old text"), 0);
    const std::string before = read_file(p);
    struct Row {
        bool saving;
        int16_t compression;
        PfFaultOp op;
        int n;
        std::string text;
    } rows[] = {
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
    };
    for (const Row& r : rows) {
        SCOPED_TRACE(r.text);
        lq_boxes_clear();
        int16_t header = 0;
        int32_t expected = 0;
        LqSecretBlock b;
        ASSERT_EQ(r.saving ? 0 : lq_scan_encrypted_text(p.c_str(), &gVeilStats, &header, 1, 1), 0);
        pf_fault_arm(r.op, r.n);
        if (r.saving)
            EXPECT_EQ(save(p, ledger(), r.compression), -1);
        else
            EXPECT_EQ(lq_read_encrypted_text(p.c_str(), &gVeilStats, &b, &expected), -1);
        pf_fault_reset();
        EXPECT_BOX(0, r.saving ? lq_save_text_error_caption : lq_load_text_error_caption, r.text,
                   STOP);
        EXPECT_EQ(list_dir(dir()), std::vector<std::string>{"old.ent"});
        EXPECT_EQ(read_file(p), before);
        EXPECT_EQ(b.data, nullptr);
    }
    EXPECT_EQ(load(p), "old text");
    lq_boxes_clear();
    EXPECT_EQ(load(q), "<failed>");
    ASSERT_EQ(save(q, std::string("two\0parts", 9)), 0);
    EXPECT_EQ(load(q), std::string("two\0parts", 9));
    lq_warn_encrypted_text_size();
    EXPECT_BOX(lq_boxes().size() - 1, "Lockquill(TM) WARNING: iLoadEncryptedEditFile ",
               " The size of the file is different than the amount of text copied to this editor "
               "window.  THE FILE MAY BE TOO LARGE FOR THE EDITOR AND/OR MAY CONTAIN NON-TEXT "
               "CHARACTERS!",
               LQ_MB_OK | LQ_MB_ICONEXCLAMATION);
}

}  // namespace
