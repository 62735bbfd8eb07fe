// lockquill-cli uuencode / uudecode / split / rebuild, in process: the
// operations' glue, the scripted answers, the output streams and exit codes.
#include <string>
#include <vector>

#include "cli/cli_common.h"
#include "cli/commands.h"
#include "tests/support/lq_test.h"

namespace {

const std::string GOLDEN = lq_source_dir() + "/tests/golden/uu/";

int run(int (*cmd)(int, char**), std::vector<std::string> args) {
    std::vector<char*> argv;
    for (std::string& a : args) argv.push_back(&a[0]);
    argv.push_back(nullptr);
    return cmd(int(args.size()), argv.data());
}

class UuCli : public LqTest {};

TEST_F(UuCli, SubcommandsAnswersAndExitCodes) {
    write_file(path("bytes.bin"), read_file(GOLDEN + "bytes.bin"));
    EXPECT_EQ(run(cli_uuencode, {"uuencode", "bytes.bin"}), CLI_DONE);  // relative to the folder
    EXPECT_EQ(run(cli_uuencode, {"uuencode", "--binary", "--quiet", path("bytes.bin")}), CLI_DONE);
    for (const char* uu : {"bytes.uut", "bytes.uub"})
        EXPECT_EQ(read_file(path(uu)), read_file(GOLDEN + uu)) << uu;
    EXPECT_EQ(run(cli_uuencode, {"uuencode", path("bytes.bin")}), CLI_DECLINED);  // no terminal: No
    EXPECT_EQ(run(cli_uuencode, {"uuencode", "--no", path("bytes.bin")}), CLI_DECLINED);
    EXPECT_EQ(run(cli_uuencode, {"uuencode", "--yes", path("bytes.bin")}), CLI_DONE);
    write_file(path("s.bin"), lq_random_bytes(9000, 4));
    EXPECT_EQ(run(cli_uuencode, {"uuencode", "--quiet", path("s.bin")}), CLI_DONE);
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
    // Each scripted answer is shown on standard error with its question; the
    // decoded file's path goes to standard output.
    testing::internal::CaptureStderr();
    testing::internal::CaptureStdout();
    EXPECT_EQ(run(cli_uudecode, {"uudecode", "--answers", "yny", path("g.uu")}), CLI_DONE);
    EXPECT_EQ(testing::internal::GetCapturedStdout(), path("g.out") + "\n");
    const std::string ask = "Lockquill(TM) WARNING: iUUDecode:  ";
    EXPECT_EQ(testing::internal::GetCapturedStderr(),
              ask +
                  "The UU Encoding Mode Flag 644 within the file g.uu DOES NOT match the Mode "
                  "Flags used by Lockquill, select YES to continue with manual control(s)!\n"
                  "  -> yes\n" +
                  ask +
                  "Select YES to switch the FILENAME:g.uu with the MODE FLAG:644 \n  -> no\n" +
                  ask +
                  "Select YES to UU DeCode the FILENAME:g.uu using BINARY MODE (Source was UNIX "
                  "System) Select NO to UU DeCode using TEXT MODE (Source was DOS/NT/Windows "
                  "System)\n  -> yes\n");
    EXPECT_EQ(read_file(path("g.out")), "Cat");
    write_file(path("short.uu"), "begin 666 short.out\n#0V%T\n");
    EXPECT_EQ(run(cli_uudecode, {"uudecode", path("short.uu")}), CLI_FAILED);
    for (const char* max : {"--max=258", "--max=text", "--max=", "--binary"})
        EXPECT_EQ(run(cli_split, {"split", max, path("g.uu")}), CLI_FAILED) << max;
    EXPECT_EQ(run(cli_uuencode, {"uuencode", "--answers", "y", path("g.uu")}), CLI_FAILED);
    EXPECT_EQ(run(cli_uudecode, {"uudecode", "--answers", "yx", path("g.uu")}), CLI_FAILED);
    EXPECT_EQ(run(cli_uudecode, {"uudecode", "a", "b"}), CLI_FAILED);
}

}  // namespace
