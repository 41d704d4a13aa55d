// The encrypt command driven through the program: code file bytes and its safety.
#include <gtest/gtest.h>
#include <sys/resource.h>
#include <sys/stat.h>
#include <unistd.h>

#include <csignal>

#include "test_support.h"

namespace rotorwerk {
namespace {

const std::string kWritten = "[成功] 成功输出到文件enigma_code.txt";
const std::string kNoSuchType = "[错误] 无此编码类型";
const std::string kCannotWrite = "[错误] 无法写入文件enigma_code.txt";

bool isLetter(unsigned char c) { return (c >= 'a' && c <= 'z') || (c >= 'A' && c <= 'Z'); }

std::string lettersOf(const std::string& text) {
  std::string letters;
  for (const char c : text) {
    if (isLetter(static_cast<unsigned char>(c))) letters.push_back(c);
  }
  return letters;
}

class EncryptTest : public ::testing::Test {
 protected:
  test::RunResult run(const std::string& input) {
    return test::runProgram(dir_.path(), input, "C.UTF-8");
  }
  // Enciphers `text` with sound sample settings and gives the code file.
  std::string encipher(const std::string& text, const std::string& code = "RW-26001A") {
    dir_.write("text.txt", text);
    const auto result = run("-u text.txt 1 0 " + code + "\n");
    EXPECT_EQ(result.err, kWritten);
    return dir_.read("enigma_code.txt");
  }
  std::vector<std::string> entries() const {
    std::vector<std::string> names;
    for (const auto& entry : std::filesystem::directory_iterator(dir_.path())) {
      names.push_back(entry.path().filename().string());
    }
    std::sort(names.begin(), names.end());
    return names;
  }

  test::ScratchDir dir_;
};

TEST_F(EncryptTest, GoldenCodeFilesFromStraightRotors) {
  // Straight rotors and the neighbour reflector: out = mod(U[mod(x + sum)] - sum) for
  // the position sum after each step, so these can be checked by hand.
  test::writeSettings(dir_, test::straightSettings(0, 0, 0));
  dir_.write("abc.txt", "abc");
  EXPECT_EQ(run("-u abc.txt 1 0 RW-26001A\n").err, kWritten);
  EXPECT_EQ(dir_.read("enigma_code.txt"), "RW-Eng zab#RW-26001A ");
  EXPECT_EQ(run("-u abc.txt 1 0 RW-26001B\n").err, kWritten);
  EXPECT_EQ(dir_.read("enigma_code.txt"), "RW-Eng zab#RW-26001B bzb");
  // Through a carry of the right rotor, with the Chinese label and offset 24 checked.
  test::writeSettings(dir_, test::straightSettings(0, 0, 24));
  dir_.write("carry.txt", "A1a a");
  EXPECT_EQ(run("-u carry.txt 1 1 RW-26001B\n").err, kWritten);
  EXPECT_EQ(dir_.read("enigma_code.txt"), "RW-Chn Z1z b#RW-26001B zbx");
  // A right offset of 30 counts on to 63 without a carry (also not at 52); 'e' is
  // plugged to 'k', and the check letter of 30 starts from 30, not from 30 mod 26 = 'e'.
  // Any lang but 0 labels the text Chinese.
  test::writeSettings(dir_, test::straightSettings(0, 0, 30, "1 ek"));
  dir_.write("thirty.txt", "abcdefghijklmnopqrstuvwxyzABCD");
  EXPECT_EQ(run("-u thirty.txt 1 2 RW-26001B\n").err, kWritten);
  EXPECT_EQ(dir_.read("enigma_code.txt"), "RW-Chn zabcjkfghidelmnopqrstuvwxyZABC#RW-26001B zbd");
}

TEST_F(EncryptTest, ShippedSampleGivesTheDocumentedCodeFile) {
  for (const std::string name : {"enigma_config.ef", "enigma_init.ef", "letter.txt"}) {
    std::filesystem::copy_file(std::filesystem::path(ROTORWERK_EXAMPLES) / name, dir_ / name);
  }
  EXPECT_EQ(run("-u letter.txt 1 0 RW-26001B\n").err, kWritten);
  EXPECT_EQ(dir_.read("enigma_code.txt"),
            "RW-Eng Miwl Jhr,\n"
            "eav xphwsdh ueudj: 3 ibdqng, 1 srkiztarz, 4 ynwe ddgjf.\n"
            "Ccwg gq gg 7:30 ok hoi qeq ibzi.\n"
            "-- Pmnxysz\n"
            "#RW-26001B wlj");
}

TEST_F(EncryptTest, LayoutKeepsTheBodyLengthAndEndsWithoutLineEnd) {
  test::writeSettings(dir_, test::randomSettings(5, {0, 7, 25}));
  const std::string text = "Dear Ada,\nthe machine works.\n";
  const std::string plain = encipher(text, "RW-26001A");
  ASSERT_EQ(plain.size(), 7 + text.size() + 1 + 9 + 1);
  EXPECT_EQ(plain.substr(0, 7), "RW-Eng ");
  EXPECT_EQ(plain.substr(7 + text.size()), "#RW-26001A ");
  const std::string checked = encipher(text, "RW-26001B");
  EXPECT_EQ(checked.substr(0, 7 + text.size()), plain.substr(0, 7 + text.size()));
  EXPECT_EQ(checked.substr(7 + text.size(), 11), "#RW-26001B ");
  const std::string check = checked.substr(7 + text.size() + 11);
  ASSERT_EQ(check.size(), 3U);
  for (const char c : check) EXPECT_TRUE(c >= 'a' && c <= 'z') << check;
  EXPECT_EQ(encipher("", "RW-26001A"), "RW-Eng #RW-26001A ");
}

TEST_F(EncryptTest, OnlyLetterBytesChangeAndOtherBytesDoNotStep) {
  test::writeSettings(dir_, test::randomSettings(8, {3, 14, 25}));
  std::string text;
  for (int b = 0; b < 256; ++b) text.push_back(static_cast<char>(b));
  // CRLF line ends, and GBK text: 中文 (both bytes high) and a character whose second
  // byte has the value of 'f' (0x66), which is enciphered like a letter.
  text += "line one\r\nline two\r\n\xD6\xD0\xCE\xC4 \x81\x66\x81\x66 end\r\n";
  const std::string code = encipher(text);
  text = test::asShown(text);
  const std::string body = code.substr(7, text.size());
  ASSERT_EQ(code.size(), 7 + text.size() + 11);
  for (std::size_t i = 0; i < text.size(); ++i) {
    const auto before = static_cast<unsigned char>(text[i]);
    const auto after = static_cast<unsigned char>(body[i]);
    if (!isLetter(before)) {
      EXPECT_EQ(after, before) << "byte " << i;
    } else {
      EXPECT_NE(after, before) << "byte " << i;
      EXPECT_TRUE(isLetter(after));
      EXPECT_EQ(before >= 'a', after >= 'a') << "case of byte " << i;
    }
  }
  // Non-letters do not move the positions: the letters alone encipher the same.
  const std::string letters = lettersOf(text);
  EXPECT_EQ(encipher(letters).substr(7, letters.size()), lettersOf(body));
}

TEST_F(EncryptTest, UnregisteredTypesLeaveTheCodeFileUntouched) {
  test::writeSettings(dir_, test::randomSettings(9, {0}));
  dir_.write("text.txt", "secret");
  // A negative even operation reads no type, so it is empty.
  for (const std::string command : {"1 0 RW-26001C", "1 0 rw-26001a", "1 0 RW-26001A#", "-2"}) {
    const auto result = run("-u text.txt " + command + "\n");
    EXPECT_EQ(result.err, kNoSuchType) << command;
    EXPECT_FALSE(std::filesystem::exists(dir_ / "enigma_code.txt")) << command;
  }
  dir_.write("enigma_code.txt", "old contents\n");
  EXPECT_EQ(run("-u text.txt 1 1 RW-26001c\n").err, kNoSuchType);
  EXPECT_EQ(dir_.read("enigma_code.txt"), "old contents\n");
  // A language that is not a number leaves lang 0 and the type empty; both words are
  // then read as command words.
  const auto failed = run("-u text.txt 1 x RW-26001A\n");
  EXPECT_EQ(failed.err, kNoSuchType);
  EXPECT_EQ(dir_.read("enigma_code.txt"), "old contents\n");
}

TEST_F(EncryptTest, EncipheringTheCodeFileItselfReadsItWholeFirst) {
  test::writeSettings(dir_, test::randomSettings(10, {0, 9}));
  const std::string text(300000, 'q');
  const std::string expected = encipher(text);
  dir_.write("enigma_code.txt", text);
  const auto result = run("-u enigma_code.txt 1 0 RW-26001A\n");
  EXPECT_EQ(result.err, kWritten);
  EXPECT_EQ(dir_.read("enigma_code.txt"), expected);
  EXPECT_EQ(entries(), (std::vector<std::string>{"enigma_code.txt", "enigma_config.ef",
                                                 "enigma_init.ef", "text.txt"}));
}

TEST_F(EncryptTest, SymbolicLinkNamedLikeTheCodeFileIsWrittenThrough) {
  SKIP_ON_WINDOWS_BUILD("symbolic links");
  test::writeSettings(dir_, test::randomSettings(15, {0}));
  dir_.write("target.txt", "old");
  std::filesystem::create_symlink("target.txt", dir_ / "enigma_code.txt");
  const std::string code = encipher("secret");
  EXPECT_TRUE(std::filesystem::is_symlink(dir_ / "enigma_code.txt"));
  EXPECT_EQ(code.substr(0, 7), "RW-Eng ");
  EXPECT_EQ(dir_.read("target.txt"), code);
}

TEST_F(EncryptTest, UnwritableCodeFileIsReportedAndNothingIsLeftBehind) {
  test::writeSettings(dir_, test::randomSettings(12, {0}));
  dir_.write("text.txt", "secret");
  std::filesystem::create_directory(dir_ / "enigma_code.txt");
  const auto result = run("-u text.txt 1 0 RW-26001B\n");
  EXPECT_EQ(result.err, kCannotWrite);
  EXPECT_TRUE(std::filesystem::is_directory(dir_ / "enigma_code.txt"));
  EXPECT_EQ(entries(), (std::vector<std::string>{"enigma_code.txt", "enigma_config.ef",
                                                 "enigma_init.ef", "text.txt"}));
}

TEST_F(EncryptTest, WriteFailureFromAFileSizeLimitKeepsTheOldCodeFile) {
  SKIP_ON_WINDOWS_BUILD("POSIX resource limits");
  test::writeSettings(dir_, test::randomSettings(13, {0}));
  dir_.write("text.txt", std::string(400000, 'x'));
  dir_.write("enigma_code.txt", "old");
  // The limit is inherited by the program; this process must survive it too.
  const auto previousHandler = std::signal(SIGXFSZ, SIG_IGN);
  rlimit previous{};
  getrlimit(RLIMIT_FSIZE, &previous);
  rlimit limited = previous;
  limited.rlim_cur = 100000;
  setrlimit(RLIMIT_FSIZE, &limited);
  const auto result = run("-u text.txt 1 0 RW-26001A\n");
  // An endless text stops at the first failed write.
  const auto endless = run("-u /dev/zero 1 0 RW-26001A\n");
  setrlimit(RLIMIT_FSIZE, &previous);
  std::signal(SIGXFSZ, previousHandler);
  EXPECT_EQ(result.err, kCannotWrite);
  EXPECT_EQ(result.status, 1);
  EXPECT_EQ(endless.err, kCannotWrite);
  EXPECT_EQ(dir_.read("enigma_code.txt"), "old");
  EXPECT_EQ(entries().size(), 4U);
}

TEST_F(EncryptTest, ReplacedCodeFileKeepsItsProtectionAndOwner) {
  SKIP_ON_WINDOWS_BUILD("POSIX owners and modes");
  if (geteuid() != 0) GTEST_SKIP() << "needs root to give files to another user";
  test::writeSettings(dir_, test::randomSettings(16, {0}));
  const auto code = dir_ / "enigma_code.txt";
  dir_.write("enigma_code.txt", "old");
  // Not 0600, which a new temporary file has anyway.
  ASSERT_EQ(chmod(code.c_str(), 0640), 0);
  ASSERT_EQ(chown(code.c_str(), 65534, 65534), 0);
  encipher("secret");
  struct stat status {};
  ASSERT_EQ(stat(code.c_str(), &status), 0);
  EXPECT_EQ(status.st_mode & 07777, 0640U);
  EXPECT_EQ(status.st_uid, 65534U);
  EXPECT_EQ(status.st_gid, 65534U);
  // A code file its user may not write stays, though the directory would allow it.
  ASSERT_EQ(chmod(dir_.path().c_str(), 0777), 0);
  ASSERT_EQ(chmod(code.c_str(), 0444), 0);
  const std::string kept = dir_.read("enigma_code.txt");
  test::RunOptions asNobody{
      .locale = "C.UTF-8",
      .command = {"setpriv", "--reuid=65534", "--regid=65534", "--clear-groups", "--"}};
  const auto result = test::runProgram(dir_.path(), "-u text.txt 1 0 RW-26001A\n", asNobody);
  EXPECT_EQ(result.err, kCannotWrite);
  EXPECT_EQ(result.status, 1);
  EXPECT_EQ(dir_.read("enigma_code.txt"), kept);
  EXPECT_EQ(entries().size(), 4U);
}

TEST_F(EncryptTest, EveryEncryptionStartsFromTheStartOffsets) {
  test::writeSettings(dir_, test::randomSettings(14, {0, 20}));
  const std::string once = encipher("The same text, twice.", "RW-26001B");
  const auto result = run("-u text.txt 1 0 RW-26001B\n-u text.txt 1 0 RW-26001B\n");
  EXPECT_EQ(result.err, kWritten + kWritten);
  EXPECT_EQ(dir_.read("enigma_code.txt"), once);
}

}  // namespace
}  // namespace rotorwerk
