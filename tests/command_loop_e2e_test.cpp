// The program driven through piped standard input: screens, argument reads, messages.
#include <gtest/gtest.h>

#include "test_support.h"

namespace rotorwerk {
namespace {

using test::kBanner;

using test::runProgram;

const std::string kHelp =
    "+------------------------------------------------+\n"
    "|-u下参数列表：                                  |\n"
    "|  string s                      操作文本的文件名|\n"
    "|  int t                                 操作类型|\n"
    "|    0:普通解密 1:普通加密                       |\n"
    "|  [bool lang]             操作文本语言（仅加密）|\n"
    "|    1:QZ编码中文 0:英文                         |\n"
    "|  [string type]           RW编码类型（仅加密时）|\n"
    "+------------------------------------------------+\n"
    "|文件配置：                                      |\n"
    "|  enigma_config.ef: 存储转子、反射器信息        |\n"
    "|  enigma_init.ef: 存储使用的转子、插头、偏移信息|\n"
    "+------------------------------------------------+\n"
    "|加密说明：                                      |\n"
    "|  本程序只会加密英文字母，对数字、空白符、特殊符|\n"
    "|  号、非基本ASCII字符均不会加密。               |\n"
    "+------------------------------------------------+\n"
    "|Rotorwerk Pro v1.0-beta1                        |\n"
    "+------------------------------------------------+\n";

std::string banners(int count) {
  std::string out;
  for (int i = 0; i < count; ++i) out += kBanner;
  return out;
}

class CommandLoopTest : public ::testing::Test {
 protected:
  test::RunResult run(const std::string& input) {
    return runProgram(dir_.path(), input, "C.UTF-8");
  }
  void writeSoundSettings() { test::writeSettings(dir_, test::randomSettings(3, {0, 1, 2})); }

  test::ScratchDir dir_;
};

TEST_F(CommandLoopTest, ScreensAreExactGbkBytesUnderTheCLocale) {
  const auto result = runProgram(dir_.path(), "-h\n", "C");
  EXPECT_EQ(result.out, test::toGbk(kBanner + kHelp + kBanner));
  EXPECT_EQ(result.err, "");
  EXPECT_EQ(result.status, 0);
}

TEST_F(CommandLoopTest, ScreensAreConvertedToUtf8UnderAUtf8Locale) {
  // A locale that is not installed is judged by its name.
  for (const std::string locale : {"C.UTF-8", "xx_YY.UTF-8", "xx_YY.utf8"}) {
    const auto result = runProgram(dir_.path(), "-h", locale);
    EXPECT_EQ(result.out, kBanner + kHelp + kBanner) << locale;
    EXPECT_EQ(result.status, 0);
  }
}

TEST_F(CommandLoopTest, OtherWordsOnlyShowTheBannerAgain) {
  const auto result = run("-x help -hh h -U\n");
  EXPECT_EQ(result.out, banners(6));
  EXPECT_EQ(result.err, "");
}

TEST_F(CommandLoopTest, EndOfInputEndsTheProgramQuietly) {
  // Input ending inside the arguments abandons the command: no settings are loaded,
  // so the missing settings files are never reported.
  for (const std::string input : {"", "\n \n", "-u", "-u notes.txt", "-u notes.txt 1",
                                  "-u notes.txt 1 0", "-u notes.txt -1 5\n"}) {
    const auto result = run(input);
    EXPECT_EQ(result.out, banners(1)) << input;
    EXPECT_EQ(result.err, "") << input;
    EXPECT_EQ(result.status, 0) << input;
  }
}

TEST_F(CommandLoopTest, CtrlZEndsPipedInputOnlyOnWindows) {
  // Standard input is read as text: on Windows a 0x1A byte ends it, as Ctrl-Z then
  // Enter does at a console; elsewhere it is a word like any other.
  const auto result = run("-h\n\x1A\n-h\n");
  EXPECT_EQ(result.out, test::windowsBuild() ? kBanner + kHelp + kBanner
                                             : kBanner + kHelp + banners(2) + kHelp + kBanner);
  EXPECT_EQ(result.status, 0);
}

TEST_F(CommandLoopTest, NumberAtTheVeryEndOfInputStillRunsTheCommand) {
  writeSoundSettings();
  const auto result = run("-u missing.txt 0");
  EXPECT_EQ(result.out, banners(2));
  EXPECT_EQ(result.err, "[错误] 文件不存在");
}

TEST_F(CommandLoopTest, OperationAboveOneIsRefusedAfterItsReads) {
  // Even t leaves lang and type for the next passes; odd t consumes them.
  EXPECT_EQ(run("-u notes.txt 2 1 RW-26001A\n").out, banners(4));
  EXPECT_EQ(run("-u notes.txt 3 1 RW-26001A\n").out, banners(2));
  const auto refused = run("-u notes.txt 4 -h\n");
  EXPECT_EQ(refused.out, banners(2) + kHelp + kBanner);
  EXPECT_EQ(refused.err, "");
}

TEST_F(CommandLoopTest, MissingTextFileIsReportedAfterTheSettingsLoad) {
  writeSoundSettings();
  const auto result = runProgram(dir_.path(), "-u missing.txt 0\n", "C");
  EXPECT_EQ(result.err, test::toGbk("[错误] 文件不存在"));
  std::filesystem::create_directory(dir_ / "folder");
  EXPECT_EQ(run("-u folder 0\n").err, "[错误] 文件不存在");
  // Even t reads no language and type: they come back as command words.
  const auto decrypt = run("-u missing.txt 0 1 RW-26001A\n");
  EXPECT_EQ(decrypt.out, banners(4));
  EXPECT_EQ(decrypt.err, "[错误] 文件不存在");
  // One failed command of the run is enough for a failed exit status.
  EXPECT_EQ(decrypt.status, 1);
}

TEST_F(CommandLoopTest, WordWhereANumberBelongsIsReadAgainAsTheNextCommand) {
  writeSoundSettings();
  const auto result = run("-u missing.txt -h\n");
  EXPECT_EQ(result.out, banners(2) + kHelp + kBanner);
  EXPECT_EQ(result.err, "[错误] 文件不存在");
  const auto negative = run("-u missing.txt -u other.txt 0\n");
  EXPECT_EQ(negative.out, banners(3));
  EXPECT_EQ(negative.err, "[错误] 文件不存在[错误] 文件不存在");
}

TEST_F(CommandLoopTest, SettingsFaultsAreNamedByFileAndItem) {
  const std::string alphabet = "abcdefghijklmnopqrstuvwxyz";
  const std::string wiring =
      "badcfehgjilknmporqtsvuxwzy 3 " + alphabet + " " + alphabet + " " + alphabet;
  struct Case {
    std::string wiring;
    std::string start;
    std::string message;
  };
  const std::string prefix = "[错误] 配置文件有误：";
  const std::vector<Case> cases = {
      {"", "", prefix + "enigma_config.ef（无法打开）"},
      {"abc", "", prefix + "enigma_config.ef（反射器）"},
      {wiring.substr(0, 27), "", prefix + "enigma_config.ef（转子数）"},
      {wiring.substr(0, 83), "", prefix + "enigma_config.ef（转子3）"},
      {wiring, "", prefix + "enigma_init.ef（无法打开）"},
      {wiring, "x", prefix + "enigma_init.ef（插头数）"},
      {wiring, "2 ab a", prefix + "enigma_init.ef（插头2）"},
      {wiring, "0 0", prefix + "enigma_init.ef（左转子）"},
      {wiring, "0 1 9", prefix + "enigma_init.ef（中转子）"},
      {wiring, "0 1 1 x", prefix + "enigma_init.ef（右转子）"},
      {wiring, "0 1 1 1", prefix + "enigma_init.ef（左偏移）"},
      {wiring, "0 1 1 1 0", prefix + "enigma_init.ef（中偏移）"},
      {wiring, "0 1 1 1 0 0", prefix + "enigma_init.ef（右偏移）"},
  };
  for (const auto& c : cases) {
    std::filesystem::remove(dir_ / "enigma_config.ef");
    std::filesystem::remove(dir_ / "enigma_init.ef");
    if (!c.wiring.empty()) dir_.write("enigma_config.ef", c.wiring);
    if (!c.start.empty()) dir_.write("enigma_init.ef", c.start);
    dir_.write("text.txt", "hello");
    // The fault ends the command before the text file is opened.
    const auto result = run("-u text.txt 1 0 RW-26001A\n");
    EXPECT_EQ(result.err, c.message);
    EXPECT_EQ(result.out, banners(2));
    EXPECT_FALSE(std::filesystem::exists(dir_ / "enigma_code.txt"));
  }
  const auto gbkRun = runProgram(dir_.path(), "-u text.txt 0\n", "C");
  EXPECT_EQ(gbkRun.err, test::toGbk(prefix + "enigma_init.ef（右偏移）"));
}

}  // namespace
}  // namespace rotorwerk
