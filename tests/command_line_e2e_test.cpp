// The command line for scripts: each command's output files, messages and exit status.
#include <fcntl.h>
#include <gtest/gtest.h>
#include <sys/stat.h>
#include <unistd.h>

#include "machine/settings.h"
#include "test_support.h"

namespace rotorwerk {
namespace {

class CommandLineTest : public ::testing::Test {
 protected:
  test::RunResult run(std::vector<std::string> arguments, const std::string& input = "") {
    return test::runProgram(dir_.path(), input,
                            {.locale = "C.UTF-8", .arguments = std::move(arguments)});
  }

  test::ScratchDir dir_;
};

TEST_F(CommandLineTest, EncryptWritesTheConsolesCodeFile) {
  test::writeSettings(dir_, test::randomSettings(41, {2, 11, 25}));
  dir_.write("text.txt", "Ein Brief, 12 Zeilen lang.\n\xD6\xD0\x81\x66 #");
  ASSERT_EQ(test::runProgram(dir_.path(), "-u text.txt 1 1 RW-26001A\n", "C").status, 0);
  const std::string console = dir_.read("enigma_code.txt");
  std::filesystem::remove(dir_ / "enigma_code.txt");
  const auto result = run({"encrypt", "text.txt", "-l", "zh", "-t", "RW-26001A"});
  EXPECT_EQ(result.status, 0);
  EXPECT_EQ(result.err, "[成功] 成功输出到文件enigma_code.txt\n");
  EXPECT_EQ(dir_.read("enigma_code.txt"), console);
  // Elsewhere, or on standard output, with the settings from another directory.
  test::ScratchDir elsewhere;
  test::writeSettings(elsewhere, test::randomSettings(41, {2, 11, 25}));
  std::filesystem::remove(dir_ / "enigma_config.ef");
  const auto piped = run(
      {"encrypt", "-", "-l", "zh", "-t", "RW-26001A", "-o", "-", "-s", elsewhere.path().string()},
      dir_.read("text.txt"));
  EXPECT_EQ(piped.status, 0);
  EXPECT_EQ(test::asShown(piped.out), console);
}

TEST_F(CommandLineTest, DecryptGivesOnlyTheTextAndTellsVerificationByStatus) {
  test::writeSettings(dir_, test::straightSettings(7, 19, 3, "2 qr dx"));
  std::string text;
  for (int b = 0; b < 256; ++b) text.push_back(static_cast<char>(b));
  dir_.write("text.txt", text);
  ASSERT_EQ(run({"encrypt", "text.txt", "-o", "code.txt"}).status, 0);
  const auto result = run({"decrypt", "code.txt", "-o", "back.txt"});
  EXPECT_EQ(result.status, 0);
  EXPECT_EQ(result.out, "");
  EXPECT_EQ(result.err, "文本使用语言：英文\n");
  EXPECT_EQ(dir_.read("back.txt"), test::asShown(text));
  // Another right offset: the text comes out garbled and the check fails.
  test::writeSettings(dir_, test::straightSettings(7, 19, 4, "2 qr dx"));
  const auto wrong = run({"decrypt", "code.txt"});
  EXPECT_EQ(wrong.status, 3);
  EXPECT_NE(wrong.err.find("[警告] 核验出现错误：起始位置不正确\n"), std::string::npos);
  EXPECT_EQ(run({"decrypt", "text.txt"}).err, "[错误] 格式存在问题：text.txt\n");
}

TEST_F(CommandLineTest, OutputThatIsNoRegularFileIsWrittenInPlace) {
  SKIP_ON_WINDOWS_BUILD("FIFOs");
  test::writeSettings(dir_, test::randomSettings(43, {0}));
  dir_.write("text.txt", "Through the pipe.");
  ASSERT_EQ(run({"encrypt", "text.txt", "-o", "code.txt"}).status, 0);
  ASSERT_EQ(mkfifo((dir_ / "pipe").c_str(), 0600), 0);
  // Held open for reading first, so that the program's open does not wait; a text this
  // short fits in the pipe. Had the program replaced the pipe, nothing would arrive.
  const int reader = open((dir_ / "pipe").c_str(), O_RDONLY | O_NONBLOCK | O_CLOEXEC);
  ASSERT_GE(reader, 0);
  const auto result = run({"decrypt", "code.txt", "-o", "pipe"});
  char received[64] = {};
  const ssize_t size = read(reader, received, sizeof received);
  close(reader);
  EXPECT_EQ(result.status, 0);
  EXPECT_EQ(std::string(received, size > 0 ? static_cast<std::size_t>(size) : 0),
            "Through the pipe.");
  EXPECT_TRUE(std::filesystem::is_fifo(dir_ / "pipe"));
}

TEST_F(CommandLineTest, UsageErrorsExitWithTwo) {
  for (const std::vector<std::string>& arguments : {std::vector<std::string>{"bogus"},
                                                    {"encrypt"},
                                                    {"encrypt", "a", "-x"},
                                                    {"encrypt", "a", "-l", "fr"},
                                                    {"keygen", "--rotors", "11"},
                                                    {"check", "extra"}}) {
    const auto result = run(arguments);
    EXPECT_EQ(result.status, 2) << arguments[0];
    EXPECT_EQ(result.err.rfind("[错误] 命令行有误：", 0), 0U) << result.err;
  }
  EXPECT_EQ(run({"--version"}).out, "Rotorwerk Pro v1.0-beta1\n");
  EXPECT_NE(run({"-h"}).out.find("rotorwerk keygen"), std::string::npos);
}

TEST_F(CommandLineTest, KeygenWritesFreshPrivateSoundSettingsOnlyOnce) {
  ASSERT_EQ(run({"keygen", "--rotors", "4", "--plugs", "13"}).status, 0);
  RotorMachine machine;
  ASSERT_EQ(loadSettings(machine, dir_.path()), std::nullopt);
  EXPECT_EQ(machine.rotorCount, 4);
  EXPECT_EQ(machine.plugboard.size(), 26U);
  EXPECT_NE(machine.slotRotors[0], machine.slotRotors[1]);
  EXPECT_NE(machine.slotRotors[1], machine.slotRotors[2]);
  EXPECT_NE(machine.slotRotors[0], machine.slotRotors[2]);
  for (int letter = 0; letter < kLetters; ++letter) {
    const int out = transformLetter(machine, static_cast<LetterIndex>(letter), 3, 9, 14);
    EXPECT_NE(out, letter);
    EXPECT_EQ(transformLetter(machine, static_cast<LetterIndex>(out), 3, 9, 14), letter);
  }
  if (!test::windowsBuild()) {
    struct stat status {};
    ASSERT_EQ(stat((dir_ / "enigma_init.ef").c_str(), &status), 0);
    EXPECT_EQ(status.st_mode & 0777, 0600U);
  }
  const std::string first = dir_.read("enigma_config.ef") + dir_.read("enigma_init.ef");
  const auto again = run({"keygen"});
  EXPECT_EQ(again.status, 1);
  EXPECT_EQ(dir_.read("enigma_config.ef") + dir_.read("enigma_init.ef"), first);
  ASSERT_EQ(run({"keygen", "--force"}).status, 0);
  EXPECT_NE(dir_.read("enigma_config.ef") + dir_.read("enigma_init.ef"), first);
}

TEST_F(CommandLineTest, CheckNamesAFaultAndWarnsOnSurprises) {
  test::writeSettings(dir_, test::straightSettings(1, 2, 30, "2 aa qr"));
  const auto result = run({"check"});
  EXPECT_EQ(result.status, 0);
  EXPECT_EQ(result.out, "转子数：3\n转子（左 中 右）：1 2 3\n插头：qr\n偏移（左 中 右）：1 2 30\n");
  EXPECT_EQ(result.err,
            "[警告] 偏移不在0至25之间，核验字母必然失败：右偏移\n"
            "[警告] 插头连接字母自身：a\n[成功] 配置文件无误\n");
  dir_.write("enigma_init.ef", "0 1 2 3x 7 19 3");
  const auto fault = run({"check"});
  EXPECT_EQ(fault.status, 1);
  EXPECT_EQ(fault.err, "[错误] 配置文件有误：enigma_init.ef（右转子）\n");
}

}  // namespace
}  // namespace rotorwerk
