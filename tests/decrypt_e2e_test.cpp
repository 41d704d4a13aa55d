// The decrypt command driven through the program: round trips, verification, formats.
#include <fcntl.h>
#include <gtest/gtest.h>
#include <sys/resource.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cctype>
#include <csignal>
#include <random>
#include <thread>

#include "machine/rotor_machine.h"
#include "machine/settings.h"
#include "test_support.h"

namespace rotorwerk {
namespace {

using test::kBanner;

const std::string kEnglish = "文本使用语言：英文\n";
const std::string kChinese = "文本使用语言：中文（QZ编码）\n";
const std::string kWritten = "[成功] 成功输出到文件enigma_code.txt";
const std::string kUnknownType = "[警告] 文件编码类型不存在";
const std::string kCheckFailed = "[警告] 核验出现错误：起始位置不正确";
const std::string kFormat = "[错误] 格式存在问题";

std::string repeat(const std::string& text, std::size_t count) {
  std::string out;
  for (std::size_t i = 0; i < count; ++i) out += text;
  return out;
}

class DecryptTest : public ::testing::Test {
 protected:
  // Deciphers a code file; gives what stands between the two banners, and the messages.
  std::pair<std::string, std::string> decipher(const std::string& code) {
    dir_.write("code.txt", code);
    const auto result = test::runProgram(dir_.path(), "-u code.txt 0\n", "C.UTF-8");
    EXPECT_EQ(result.out.substr(0, kBanner.size()), kBanner);
    EXPECT_EQ(result.out.substr(result.out.size() - kBanner.size()), kBanner);
    return {result.out.substr(kBanner.size(), result.out.size() - 2 * kBanner.size()), result.err};
  }

  test::ScratchDir dir_;
};

TEST_F(DecryptTest, RoundTripsRestoreEveryTextByteForByte) {
  std::mt19937 random(21);
  const std::vector<std::string> pieces = {"Hello, World! ",
                                           "#",
                                           "\r\n",
                                           "\n",
                                           "\xD6\xD0\xCE\xC4",
                                           "\x81\x66\x81\x41",
                                           "RW-26001B abc",
                                           "  \t",
                                           "zzzzzzzzzzzzzzzzzzzzzzzzzzzz",
                                           std::string(1, '\0'),
                                           "\xFF#\x80",
                                           "\x1A end of file? no"};
  for (unsigned seed = 1; seed <= 40; ++seed) {
    test::writeSettings(dir_, test::randomSettings(seed, {0, 3, 12, 25}));
    std::string text;
    if (seed % 10 == 0)
      text = "";  // an empty text too
    else if (seed % 10 == 1) {
      for (int b = 0; b < 256; ++b) text.push_back(static_cast<char>(b));
    } else {
      for (unsigned n = random() % 60; n > 0; --n) text += pieces[random() % pieces.size()];
    }
    const std::string code = seed % 2 == 0 ? "RW-26001A" : "RW-26001B";
    const std::string lang = seed % 3 == 0 ? "1" : "0";
    dir_.write("text.txt", text);
    const auto result = test::runProgram(
        dir_.path(), "-u text.txt 1 " + lang + " " + code + "\n-u enigma_code.txt 0\n", "C.UTF-8");
    ASSERT_EQ(result.err, kWritten) << "seed " << seed;
    ASSERT_EQ(result.out, kBanner + kBanner + (lang == "1" ? kChinese : kEnglish) +
                              test::asShown(text) + kBanner)
        << "seed " << seed;
  }
}

TEST_F(DecryptTest, WrongStartOffsetsAreReportedByTheCheckLetters) {
  // Straight rotors depend only on the position sum, which is the same for the
  // reading side's (0, 0, 25) after its first carry; only the right check differs.
  test::writeSettings(dir_, test::straightSettings(0, 0, 25));
  const auto [out, err] = decipher("RW-Eng zab#RW-26001B bzb");
  EXPECT_EQ(out, kEnglish + "abc");
  EXPECT_EQ(err, kCheckFailed);
  test::writeSettings(dir_, test::straightSettings(0, 0, 0));
  EXPECT_EQ(decipher("RW-Eng zab#RW-26001B bzb").second, "");
}

TEST_F(DecryptTest, WrongSettingsGarbleTheTextAndWarnPerFailedCheck) {
  // Expectations worked out from the stepping and transform rules by hand, not by the
  // program: with straight rotors only the position sum counts, so a wrong right offset
  // may garble some letters and keep others, and fail some checks but not all.
  const std::string code =
      "RW-Eng Sif svhxj appvm gpe itnrt nwfp sif mbaz ypf, svjbf nuxq.#RW-26001B isy";
  test::writeSettings(dir_, test::straightSettings(7, 19, 3, "2 qr dx"));
  EXPECT_EQ(decipher(code), std::pair(kEnglish + "The quick brown fox jumps over the lazy dog, "
                                                 "twice over.",
                                      std::string()));
  test::writeSettings(dir_, test::straightSettings(7, 19, 4, "2 qr dx"));
  EXPECT_EQ(decipher(code),
            std::pair(kEnglish + "Qjg twgei zorul hrf hsoqu odgo qjg ncba zre, qukag mtcs.",
                      repeat(kCheckFailed, 3)));
  test::writeSettings(dir_, test::straightSettings(7, 19, 5, "2 qr dx"));
  EXPECT_EQ(decipher(code),
            std::pair(kEnglish + "The quick brown fox jumpu mver the lazy dog, twice over.",
                      kCheckFailed));
}

TEST_F(DecryptTest, StartOffsetOutsideTheAlphabetAlwaysFailsItsCheck) {
  test::writeSettings(dir_, test::randomSettings(4, {30}));
  dir_.write("text.txt", "offsets beyond z");
  const auto result =
      test::runProgram(dir_.path(), "-u text.txt 1 0 RW-26001B\n-u enigma_code.txt 0\n", "C.UTF-8");
  EXPECT_NE(result.out.find(kEnglish + "offsets beyond z"), std::string::npos);
  EXPECT_EQ(result.err, kWritten + repeat(kCheckFailed, 3));
  EXPECT_EQ(result.status, 0);  // warnings are no errors
}

TEST_F(DecryptTest, HeaderWordRules) {
  test::writeSettings(dir_, test::straightSettings(0, 0, 0));
  EXPECT_EQ(decipher("\n\n \tRW-Eng zab#RW-26001B bzb"),
            std::make_pair(kEnglish + "abc", std::string()));
  EXPECT_EQ(decipher("RW-Chn zab#RW-26001A "), std::make_pair(kChinese + "abc", std::string()));
  EXPECT_EQ(decipher("RW-Eng#zab#RW-26001A "), std::make_pair(std::string(), kFormat));
  EXPECT_EQ(decipher("rw-eng zab#RW-26001A "), std::make_pair(std::string(), kFormat));
  EXPECT_EQ(decipher(""), std::make_pair(std::string(), kFormat));
  EXPECT_EQ(decipher("RW-Eng"), std::make_pair(kEnglish, kUnknownType));
  // Without a blank after the header the first body character, here the line end,
  // is lost.
  EXPECT_EQ(decipher("RW-Eng\nzab#RW-26001A "), std::make_pair(kEnglish + "abc", std::string()));
  EXPECT_EQ(decipher("RW-Eng\n\nzab#RW-26001A "),
            std::make_pair(kEnglish + "\nabc", std::string()));
}

TEST_F(DecryptTest, TrailerRules) {
  test::writeSettings(dir_, test::straightSettings(0, 0, 0));
  EXPECT_EQ(decipher("RW-Eng zab"), std::make_pair(kEnglish + "abc", kUnknownType));
  EXPECT_EQ(decipher("RW-Eng zab#RW-26001C "), std::make_pair(kEnglish + "abc", kUnknownType));
  EXPECT_EQ(decipher("RW-Eng zab#"), std::make_pair(kEnglish + "abc", kUnknownType));
  EXPECT_EQ(decipher("RW-Eng zab#\n RW-26001A\n"), std::make_pair(kEnglish + "abc", std::string()));
  // Missing check letters count as failed checks.
  EXPECT_EQ(decipher("RW-Eng zab#RW-26001B").second, repeat(kCheckFailed, 3));
  EXPECT_EQ(decipher("RW-Eng zab#RW-26001B bz").second, kCheckFailed);
  EXPECT_EQ(decipher("RW-Eng zab#RW-26001B bzbq").second, "");
  // The body ends at the last '#', so a text holding '#' comes back whole.
  EXPECT_EQ(decipher("RW-Eng z#a#b#RW-26001A ").first, kEnglish + "a#b#c");
}

TEST_F(DecryptTest, TextThatCannotBeWrittenOutIsReported) {
  SKIP_ON_WINDOWS_BUILD("devices");
  test::writeSettings(dir_, test::straightSettings(0, 0, 0));
  dir_.write("code.txt", "RW-Eng " + std::string(1 << 20, 'z') + "#RW-26001A ");
  const auto result =
      test::runProgram(dir_.path(), "-u code.txt 0\n-h\n",
                       test::RunOptions{.locale = "C.UTF-8", .output = "/dev/full"});
  // The screens around it are lost as well, which the end of the run reports.
  EXPECT_EQ(result.err, "[错误] 无法输出解密文本[错误] 无法写入标准输出");
  EXPECT_EQ(result.status, 1);
}

TEST_F(DecryptTest, CodeFileFromAPipeIsReadLikeAFile) {
  SKIP_ON_WINDOWS_BUILD("FIFOs");
  test::writeSettings(dir_, test::straightSettings(0, 0, 0));
  ASSERT_EQ(mkfifo((dir_ / "pipe").c_str(), 0600), 0);
  std::thread writer([&] {
    const int fd = open((dir_ / "pipe").c_str(), O_WRONLY);
    const std::string code = "RW-Eng z#ab#RW-26001B bzb";
    EXPECT_EQ(write(fd, code.data(), code.size()), static_cast<ssize_t>(code.size()));
    close(fd);
  });
  const auto result = test::runProgram(dir_.path(), "-u pipe 0\n", "C.UTF-8");
  writer.join();
  EXPECT_EQ(result.out, kBanner + kEnglish + "a#bc" + kBanner);
  EXPECT_EQ(result.err, "");
}

TEST_F(DecryptTest, CopyOfAnEndlessPipedCodeFileStopsAtTheFirstFailedWrite) {
  SKIP_ON_WINDOWS_BUILD("FIFOs and POSIX resource limits");
  test::writeSettings(dir_, test::straightSettings(0, 0, 0));
  ASSERT_EQ(mkfifo((dir_ / "pipe").c_str(), 0600), 0);
  // The writer feeds the pipe until the program closes it.
  const auto previousPipe = std::signal(SIGPIPE, SIG_IGN);
  std::thread writer([&] {
    const int fd = open((dir_ / "pipe").c_str(), O_WRONLY);
    const std::string code = "RW-Eng " + std::string(1 << 16, 'z');
    while (write(fd, code.data(), code.size()) > 0) {
    }
    close(fd);
  });
  const auto previousSize = std::signal(SIGXFSZ, SIG_IGN);
  rlimit previous{};
  getrlimit(RLIMIT_FSIZE, &previous);
  rlimit limited = previous;
  limited.rlim_cur = 1 << 20;
  setrlimit(RLIMIT_FSIZE, &limited);
  const auto result = test::runProgram(dir_.path(), "-u pipe 0\n", "C.UTF-8");
  setrlimit(RLIMIT_FSIZE, &previous);
  std::signal(SIGXFSZ, previousSize);
  writer.join();
  std::signal(SIGPIPE, previousPipe);
  EXPECT_EQ(result.err, "[错误] 无法读取文件");
  EXPECT_EQ(result.status, 1);
}

}  // namespace
}  // namespace rotorwerk
