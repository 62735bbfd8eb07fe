// The text and raw streams of the UU operations.
#include <string>
#include <vector>

#include "tests/uu/uu_test_util.h"
#include "uu/uu_stream.h"

namespace {

class UuStreamTest : public LqTest {
  protected:
    std::vector<std::string> read_lines(const std::string& file, bool text, size_t max) {
        UuStream s;
        EXPECT_TRUE(uu_open_read(s, file.c_str(), text));
        std::vector<std::string> lines;
        size_t len;
        while (const char* l = uu_read_line(s, max, &len)) lines.emplace_back(l, len);
        EXPECT_FALSE(s.failed);
        return lines;
    }
    std::string write_through(bool text, const std::vector<std::string>& pieces) {
        UuStream s;
        EXPECT_TRUE(uu_open_write(s, path("out").c_str(), text));
        for (const std::string& p : pieces) EXPECT_TRUE(uu_write(s, p.data(), p.size()));
        EXPECT_TRUE(uu_close(s));
        return read_file(path("out"));
    }
};

TEST_F(UuStreamTest, TextModeReadsCrLfAsLfAndNothingMore) {
    write_file(path("t"), std::string("a\r\nb\rc\n\x1a d\r\n\r\r\nlast\r", 20));
    std::vector<std::string> want = {"a\n", "b\rc\n", "\x1a d\n", "\r\n", "last\r"};
    EXPECT_EQ(read_lines(path("t"), true, 644), want);
    std::vector<std::string> raw = {"a\r\n", "b\rc\n", "\x1a d\r\n", "\r\r\n", "last\r"};
    EXPECT_EQ(read_lines(path("t"), false, 644), raw);
}

TEST_F(UuStreamTest, CrLfSplitAcrossTheReadChunkIsStillOneLineEnd) {
    // Put the CR last in the first chunk, and either side of that.
    for (size_t before :
         {UU_STREAM_CHUNK - 1, UU_STREAM_CHUNK - 2, UU_STREAM_CHUNK, 2 * UU_STREAM_CHUNK - 1}) {
        std::string body(before, 'x');
        body[100] = '\n';
        write_file(path("t"), body + "\r\ny\r\n");
        std::vector<std::string> lines = read_lines(path("t"), true, 1024);
        ASSERT_GE(lines.size(), 2u);
        EXPECT_EQ(lines[lines.size() - 2].substr(lines[lines.size() - 2].size() - 2), "x\n")
            << before;
        EXPECT_EQ(lines.back(), "y\n") << before;
        std::string joined;
        for (auto& l : lines) joined += l;
        EXPECT_EQ(joined, body + "\ny\n") << before;
    }
}

TEST_F(UuStreamTest, LongLinesComeInPiecesOfTheMaximum) {
    write_file(path("t"), std::string(1000, 'a') + "\n" + "b\n");
    std::vector<std::string> lines = read_lines(path("t"), false, 644);
    ASSERT_EQ(lines.size(), 3u);
    EXPECT_EQ(lines[0], std::string(644, 'a'));
    EXPECT_EQ(lines[1], std::string(356, 'a') + "\n");
    EXPECT_EQ(lines[2], "b\n");
}

TEST_F(UuStreamTest, TextModeWritesLfAsCrLfAndRawModeKeepsEveryByte) {
    std::vector<std::string> pieces = {"a\nb", "\r\n", "\x1a\n", "", "c"};
    EXPECT_EQ(write_through(true, pieces), std::string("a\r\nb\r\r\n\x1a\r\nc"));
    EXPECT_EQ(write_through(false, pieces), std::string("a\nb\r\n\x1a\nc"));
}

TEST_F(UuStreamTest, RewindReadsFromTheStartAgain) {
    write_file(path("t"), "one\r\ntwo\r\n");
    UuStream s;
    ASSERT_TRUE(uu_open_read(s, path("t").c_str(), true));
    size_t len;
    uu_read_line(s, 644, &len);
    uu_read_line(s, 644, &len);
    ASSERT_TRUE(uu_rewind(s));
    const char* l = uu_read_line(s, 644, &len);
    ASSERT_NE(l, nullptr);
    EXPECT_EQ(std::string(l, len), "one\n");
}

TEST_F(UuStreamTest, AFailedWriteIsReportedByTheCloseAndLaterWrites) {
    UuStream s;
    ASSERT_TRUE(uu_open_write(s, path("out").c_str(), false));
    EXPECT_TRUE(uu_write(s, "abc", 3));  // buffered
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

TEST_F(UuStreamTest, AFailedReadEndsTheLinesAndIsFlagged) {
    write_file(path("t"), "one\ntwo\n");
    UuStream s;
    ASSERT_TRUE(uu_open_read(s, path("t").c_str(), false));
    pf_fault_arm(PF_FAULT_READ, 1);
    size_t len;
    EXPECT_EQ(uu_read_line(s, 644, &len), nullptr);
    EXPECT_TRUE(s.failed);
}

}  // namespace
