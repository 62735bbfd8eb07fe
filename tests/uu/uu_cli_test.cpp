// lockquill-cli uuencode / uudecode / split / rebuild, in process; and the
// real peers: GNU sharutils uuencode and uudecode against lockquill-cli.
#include <cstdlib>
#include <string>
#include <vector>

#include "cli/cli_common.h"
#include "cli/commands.h"
#include "tests/uu/uu_test_util.h"
#include "uu/uu_encode.h"
#include "uu/uu_split.h"

namespace {

int run(int (*cmd)(int, char**), std::vector<std::string> args) {
    std::vector<char*> argv;
    for (std::string& a : args) argv.push_back(&a[0]);
    argv.push_back(nullptr);
    return cmd(int(args.size()), argv.data());
}

class UuCli : public LqTest {};

TEST_F(UuCli, EncodeWritesWhatTheMenuCommandsWrite) {
    std::string data = lq_random_bytes(5000, 21);
    write_file(path("menu.bin"), data);
    write_file(path("cli.bin"), data);
    for (bool text : {true, false}) {
        UuPath p(path("menu.bin"));
        ASSERT_EQ(iUUEncode(p.p, text ? 1 : 0, 0, 0), 0);
    }
    EXPECT_EQ(run(cli_uuencode, {"uuencode", path("cli.bin")}), CLI_DONE);
    EXPECT_EQ(run(cli_uuencode, {"uuencode", "--binary", "--quiet", path("cli.bin")}), CLI_DONE);
    auto body = [](const std::string& s) { return s.substr(s.find('\n')); };
    EXPECT_EQ(body(read_file(path("cli.uut"))), body(read_file(path("menu.uut"))));
    EXPECT_EQ(body(read_file(path("cli.uub"))), body(read_file(path("menu.uub"))));
    EXPECT_EQ(read_file(path("cli.uut")).substr(0, 19), "begin 666 cli.bin\r\n");
}

TEST_F(UuCli, RelativePathsAreTakenFromTheCurrentFolder) {
    write_file(path("rel.bin"), "relative");
    EXPECT_EQ(run(cli_uuencode, {"uuencode", "rel.bin"}), CLI_DONE);
    pf_delete(path("rel.bin").c_str());
    EXPECT_EQ(run(cli_uudecode, {"uudecode", "rel.uut"}), CLI_DONE);
    EXPECT_EQ(read_file(path("rel.bin")), "relative");
}

TEST_F(UuCli, YesAndNoAnswerTheOverwriteQuestion) {
    write_file(path("q.bin"), "new");
    write_file(path("q.uut"), "old");
    EXPECT_EQ(run(cli_uuencode, {"uuencode", "--no", path("q.bin")}), CLI_DECLINED);
    EXPECT_EQ(read_file(path("q.uut")), "old");
    // Without --yes and without a terminal the answer is No as well.
    EXPECT_EQ(run(cli_uuencode, {"uuencode", path("q.bin")}), CLI_DECLINED);
    EXPECT_EQ(run(cli_uuencode, {"uuencode", "--yes", path("q.bin")}), CLI_DONE);
    EXPECT_EQ(read_file(path("q.uut")), uu_crlf("begin 666 q.bin\n" + uu_reference_body("new")));
}

TEST_F(UuCli, SplitAndRebuildWithTheDefaultAndAGivenMaximum) {
    write_file(path("s.bin"), lq_random_bytes(9000, 4));
    ASSERT_EQ(run(cli_uuencode, {"uuencode", path("s.bin")}), CLI_DONE);
    std::string uu = read_file(path("s.uut"));
    EXPECT_EQ(run(cli_split, {"split", path("s.uut")}), CLI_DONE);
    EXPECT_TRUE(exists(path("s.U02")));
    EXPECT_FALSE(exists(path("s.U03")));
    EXPECT_EQ(run(cli_split, {"split", "--yes", "--max", "2000", path("s.uut")}), CLI_DONE);
    EXPECT_TRUE(exists(path("s.U06")));
    pf_delete(path("s.uut").c_str());
    EXPECT_EQ(run(cli_rebuild, {"rebuild", path("s.U00")}), CLI_DONE);
    EXPECT_EQ(read_file(path("s.uut")), uu);
}

TEST_F(UuCli, RefusedMaximumsAndBadUsageFail) {
    write_file(path("m.uu"), "begin 666 m\n" + std::string(3000, 'x') + "\n");
    for (const char* max : {"--max=258", "--max=0", "--max=text", "--max="})
        EXPECT_EQ(run(cli_split, {"split", max, path("m.uu")}), CLI_FAILED) << max;
    EXPECT_EQ(run(cli_split, {"split", "--max=259", path("m.uu")}), CLI_DONE);
    EXPECT_EQ(run(cli_split, {"split", "--binary", path("m.uu")}), CLI_FAILED);
    EXPECT_EQ(run(cli_uuencode, {"uuencode", "--answers", "y", path("m.uu")}), CLI_FAILED);
    EXPECT_EQ(run(cli_uudecode, {"uudecode", "--answers", "yx", path("m.uu")}), CLI_FAILED);
    EXPECT_EQ(run(cli_uudecode, {"uudecode"}), CLI_FAILED);
    EXPECT_EQ(run(cli_uudecode, {"uudecode", "a", "b"}), CLI_FAILED);
}

TEST_F(UuCli, AnswersSettleAnUnknownModeFlag) {
    write_file(path("g.uu"), "begin 644 g.out\n#0V%T\n`\nend\n");
    EXPECT_EQ(run(cli_uudecode, {"uudecode", path("g.uu")}), CLI_DECLINED);
    EXPECT_FALSE(exists(path("g.out")));
    EXPECT_EQ(run(cli_uudecode, {"uudecode", "--answers", "yny", path("g.uu")}), CLI_DONE);
    EXPECT_EQ(read_file(path("g.out")), "Cat");
}

// ----------------------------------------------------------- real peers
#ifndef _WIN32
bool have_sharutils() {
    return std::system(
               "command -v uuencode >/dev/null 2>&1 && command -v uudecode >/dev/null 2>&1") == 0;
}

// Runs in the test's folder, the current directory.
int sh(const std::string& cmd) { return std::system(cmd.c_str()); }

const std::string cli_exe = LQ_CLI_EXE;

TEST_F(UuCli, PeerGnuUudecodeReadsWhatLockquillCliWrites) {
    if (!have_sharutils()) GTEST_SKIP() << "GNU sharutils not installed";
    std::string data = lq_random_bytes(200000, 77) + std::string(1000, '\0') + "text\r\nlines\n";
    write_file(path("peer.bin"), data);
    ASSERT_EQ(sh(cli_exe + " uuencode --quiet peer.bin >/dev/null"), 0);
    ASSERT_EQ(sh(cli_exe + " uuencode --binary --quiet peer.bin >/dev/null"), 0);
    ASSERT_EQ(sh("uudecode -o from_text.bin peer.uut"), 0);
    ASSERT_EQ(sh("uudecode -o from_binary.bin peer.uub"), 0);
    EXPECT_EQ(read_file(path("from_text.bin")), data);
    EXPECT_EQ(read_file(path("from_binary.bin")), data);
}

TEST_F(UuCli, PeerLockquillCliReadsWhatGnuUuencodeWrites) {
    if (!have_sharutils()) GTEST_SKIP() << "GNU sharutils not installed";
    std::string data = lq_random_bytes(123457, 78);
    write_file(path("g.bin"), data);
    // The mode digits follow the file's permissions: 644 is unknown to us
    // (three questions), 666 and 777 are ours.
    ASSERT_EQ(sh("chmod 644 g.bin && uuencode g.bin g644.out > g644.uu"), 0);
    ASSERT_EQ(sh("chmod 666 g.bin && uuencode g.bin g666.out > g666.uu"), 0);
    ASSERT_EQ(sh("chmod 777 g.bin && uuencode g.bin g777.out > g777.uu"), 0);
    ASSERT_EQ(sh(cli_exe + " uudecode --quiet --answers yny g644.uu >/dev/null 2>&1"), 0);
    ASSERT_EQ(sh(cli_exe + " uudecode --quiet g666.uu >/dev/null"), 0);
    ASSERT_EQ(sh(cli_exe + " uudecode --quiet g777.uu >/dev/null"), 0);
    EXPECT_EQ(read_file(path("g644.out")), data);
    EXPECT_EQ(read_file(path("g666.out")), data);
    EXPECT_EQ(read_file(path("g777.out")), data);
    // GNU's data lines are ours byte for byte.
    write_file(path("same.bin"), data);
    ASSERT_EQ(sh(cli_exe + " uuencode --binary --quiet same.bin >/dev/null"), 0);
    std::string gnu = read_file(path("g777.uu"));
    std::string ours = read_file(path("same.uub"));
    EXPECT_EQ(gnu.substr(gnu.find('\n')), ours.substr(ours.find('\n')));
}
#else
TEST_F(UuCli, PeerTestsRunNatively) { GTEST_SKIP() << "GNU sharutils peers run natively only"; }
#endif

}  // namespace
