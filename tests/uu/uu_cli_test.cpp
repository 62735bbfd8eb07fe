// lockquill-cli uuencode / uudecode / split / rebuild, in process; and the
// real peers: GNU sharutils uuencode and uudecode against lockquill-cli.
#include <cstdlib>
#include <string>
#include <vector>

#include "cli/cli_common.h"
#include "cli/commands.h"
#include "tests/uu/uu_test_util.h"

namespace {

int run(int (*cmd)(int, char**), std::vector<std::string> args) {
    std::vector<char*> argv;
    for (std::string& a : args) argv.push_back(&a[0]);
    argv.push_back(nullptr);
    return cmd(int(args.size()), argv.data());
}

class UuCli : public LqTest {};

TEST_F(UuCli, SubcommandsAnswersAndExitCodes) {
    std::string data = lq_random_bytes(9000, 4);
    write_file(path("s.bin"), data);
    EXPECT_EQ(run(cli_uuencode, {"uuencode", "s.bin"}), CLI_DONE);  // relative to the folder
    EXPECT_EQ(run(cli_uuencode, {"uuencode", "--binary", "--quiet", path("s.bin")}), CLI_DONE);
    EXPECT_EQ(read_file(path("s.uut")), uu_crlf("begin 666 s.bin\n" + uu_reference_body(data)));
    EXPECT_EQ(run(cli_uuencode, {"uuencode", path("s.bin")}), CLI_DECLINED);  // no terminal: No
    EXPECT_EQ(run(cli_uuencode, {"uuencode", "--no", path("s.bin")}), CLI_DECLINED);
    EXPECT_EQ(run(cli_uuencode, {"uuencode", "--yes", path("s.bin")}), CLI_DONE);
    std::string uu = read_file(path("s.uut"));
    EXPECT_EQ(run(cli_split, {"split", path("s.uut")}), CLI_DONE);
    EXPECT_TRUE(exists(path("s.U02")) && !exists(path("s.U03")));
    EXPECT_EQ(run(cli_split, {"split", "--yes", "--max", "2000", path("s.uut")}), CLI_DONE);
    EXPECT_TRUE(exists(path("s.U06")));
    pf_delete(path("s.uut").c_str());
    EXPECT_EQ(run(cli_rebuild, {"rebuild", path("s.U00")}), CLI_DONE);
    EXPECT_EQ(read_file(path("s.uut")), uu);
    write_file(path("g.uu"), "begin 644 g.out\n#0V%T\n`\nend\n");
    EXPECT_EQ(run(cli_uudecode, {"uudecode", path("g.uu")}), CLI_DECLINED);
    EXPECT_EQ(run(cli_uudecode, {"uudecode", "--answers", "yny", path("g.uu")}), CLI_DONE);
    EXPECT_EQ(read_file(path("g.out")), "Cat");
    write_file(path("short.uu"), "begin 666 short.out\n#0V%T\n");
    EXPECT_EQ(run(cli_uudecode, {"uudecode", path("short.uu")}), CLI_FAILED);
    for (const char* max : {"--max=258", "--max=text", "--max=", "--binary"})
        EXPECT_EQ(run(cli_split, {"split", max, path("g.uu")}), CLI_FAILED) << max;
    EXPECT_EQ(run(cli_uuencode, {"uuencode", "--answers", "y", path("g.uu")}), CLI_FAILED);
    EXPECT_EQ(run(cli_uudecode, {"uudecode", "--answers", "yx", path("g.uu")}), CLI_FAILED);
    EXPECT_EQ(run(cli_uudecode, {"uudecode", "a", "b"}), CLI_FAILED);
}

#ifndef _WIN32
TEST_F(UuCli, PeerGnuSharutilsBothWays) {
    auto sh = [](const std::string& cmd) { return std::system(cmd.c_str()); };
    if (sh("command -v uuencode && command -v uudecode")) GTEST_SKIP() << "no GNU sharutils";
    const std::string cli = LQ_CLI_EXE;
    std::string data = lq_random_bytes(200000, 77) + std::string(1000, '\0') + "text\r\nlines\n";
    write_file(path("p.bin"), data);
    ASSERT_EQ(sh(cli + " uuencode --quiet p.bin >/dev/null"), 0);
    ASSERT_EQ(sh(cli + " uuencode --binary --quiet p.bin >/dev/null"), 0);
    ASSERT_EQ(sh("uudecode -o t.bin p.uut && uudecode -o b.bin p.uub"), 0);
    EXPECT_TRUE(read_file(path("t.bin")) == data && read_file(path("b.bin")) == data);
    // The mode digits follow the file's permissions: 644 is unknown to us
    // (three questions), 777 is ours; GNU's data lines are ours byte for byte.
    ASSERT_EQ(sh("chmod 644 p.bin && uuencode p.bin g644.out > g644.uu"), 0);
    ASSERT_EQ(sh("chmod 777 p.bin && uuencode p.bin g777.out > g777.uu"), 0);
    ASSERT_EQ(sh(cli + " uudecode --quiet --answers yny g644.uu >/dev/null 2>&1"), 0);
    ASSERT_EQ(sh(cli + " uudecode --quiet g777.uu >/dev/null"), 0);
    EXPECT_TRUE(read_file(path("g644.out")) == data && read_file(path("g777.out")) == data);
    std::string gnu = read_file(path("g777.uu")), ours = read_file(path("p.uub"));
    EXPECT_TRUE(gnu.substr(gnu.find('\n')) == ours.substr(ours.find('\n')));
}
#endif

}  // namespace
