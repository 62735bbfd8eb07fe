// The text and raw streams of the UU operations.
#include <string>
#include <vector>

#include "tests/uu/uu_test_util.h"
#include "uu/uu_stream.h"

namespace {

class UuStreamTest : public LqTest {
  protected:
    std::vector<std::string> read_lines(bool text, size_t max) {
        UuStream s;
        EXPECT_TRUE(uu_open_read(s, path("t").c_str(), text));
        std::vector<std::string> lines;
        size_t len;
        while (const char* l = uu_read_line(s, max, &len)) lines.emplace_back(l, len);
        EXPECT_FALSE(s.failed);
        return lines;
    }
};

TEST_F(UuStreamTest, LinesInBothModesAcrossChunksAndInPieces) {
    write_file(path("t"), std::string("a\r\nb\rc\n\x1a d\r\n\r\r\nlast\r", 20));
    EXPECT_EQ(read_lines(true, 644),
              (std::vector<std::string>{"a\n", "b\rc\n", "\x1a d\n", "\r\n", "last\r"}));
    EXPECT_EQ(read_lines(false, 644),
              (std::vector<std::string>{"a\r\n", "b\rc\n", "\x1a d\r\n", "\r\r\n", "last\r"}));
    // A CR LF cut by the read chunk is still one line end.
    for (size_t before : {UU_STREAM_CHUNK - 1, UU_STREAM_CHUNK, 2 * UU_STREAM_CHUNK - 1}) {
        std::string body(before, 'x');
        body[100] = '\n';
        write_file(path("t"), body + "\r\ny\r\n");
        std::string joined;
        for (const std::string& l : read_lines(true, 1024)) joined += l;
        EXPECT_EQ(joined, body + "\ny\n") << before;
    }
    write_file(path("t"), std::string(1000, 'a') + "\nb\n");
    EXPECT_EQ(
        read_lines(false, 644),
        (std::vector<std::string>{std::string(644, 'a'), std::string(356, 'a') + "\n", "b\n"}));
}

TEST_F(UuStreamTest, WritesRewindAndFailures) {
    for (bool text : {true, false}) {
        UuStream s;
        ASSERT_TRUE(uu_open_write(s, path("t").c_str(), text));
        for (std::string p : {"a\nb", "\r\n", "\x1a\n", "", "c"}) uu_write(s, p.data(), p.size());
        EXPECT_TRUE(uu_close(s));
        EXPECT_EQ(read_file(path("t")), text ? "a\r\nb\r\r\n\x1a\r\nc" : "a\nb\r\n\x1a\nc");
    }
    UuStream s;
    size_t len;
    ASSERT_TRUE(uu_open_read(s, path("t").c_str(), true));
    uu_read_line(s, 644, &len);
    ASSERT_TRUE(uu_rewind(s));
    EXPECT_EQ(std::string(uu_read_line(s, 644, &len), len), "a\n");
    pf_fault_arm(PF_FAULT_READ, 1);
    ASSERT_TRUE(uu_rewind(s));
    EXPECT_EQ(uu_read_line(s, 644, &len), nullptr);
    EXPECT_TRUE(s.failed);
    uu_close(s);
    ASSERT_TRUE(uu_open_write(s, path("out").c_str(), false));
    EXPECT_TRUE(uu_write(s, "abc", 3));  // buffered: the close reports it
    pf_fault_arm(PF_FAULT_WRITE, 1);
    EXPECT_FALSE(uu_close(s));
    ASSERT_TRUE(uu_open_write(s, path("out").c_str(), false));
    std::string big(300000, 'z');
    pf_fault_arm(PF_FAULT_WRITE, 1);
    EXPECT_FALSE(uu_write(s, big.data(), big.size()));
    EXPECT_FALSE(uu_write(s, "x", 1));
    EXPECT_EQ(uu_reserve(s, 10), nullptr);
    EXPECT_FALSE(uu_close(s));
}

}  // namespace
