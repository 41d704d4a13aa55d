// Interrupts and hostile inputs: nothing lost, nothing left behind, no crash.
#include <fcntl.h>
#include <gtest/gtest.h>
#include <sys/stat.h>
#include <unistd.h>

#include <chrono>
#include <csignal>
#include <thread>

#include "test_support.h"

namespace rotorwerk {
namespace {

const std::string kNotFound = "[错误] 文件不存在";
const std::string kFormat = "[错误] 格式存在问题";

class HostileInputTest : public ::testing::Test {
 protected:
  void SetUp() override { test::writeSettings(dir_, test::randomSettings(31, {0, 4, 17})); }
  test::RunResult run(const std::string& input) {
    return test::runProgram(dir_.path(), input, "C.UTF-8");
  }
  bool hasTemporaryFile() const {
    for (const auto& entry : std::filesystem::directory_iterator(dir_.path())) {
      if (entry.path().filename().string().rfind(".enigma_code.txt.", 0) == 0) return true;
    }
    return false;
  }

  test::ScratchDir dir_;
};

TEST_F(HostileInputTest, InterruptWhileEncipheringRemovesTheTemporaryFile) {
  SKIP_ON_WINDOWS_BUILD("POSIX signals and FIFOs");
  for (const int signalNumber :
       {SIGTERM, SIGINT, SIGHUP, SIGXCPU, SIGALRM, SIGUSR1, SIGUSR2, SIGVTALRM, SIGPROF}) {
    dir_.write("enigma_code.txt", "old code file");
    std::filesystem::remove(dir_ / "text.fifo");
    ASSERT_EQ(mkfifo((dir_ / "text.fifo").c_str(), 0600), 0);
    test::RunningProgram program(dir_.path(), "-u text.fifo 1 0 RW-26001A\n");
    // The program reads the pipe, so it is mid-way through enciphering while the
    // writer keeps it open.
    const int writer = open((dir_ / "text.fifo").c_str(), O_WRONLY);
    ASSERT_GE(writer, 0);
    const std::string part(70000, 'x');
    ASSERT_EQ(write(writer, part.data(), part.size()), static_cast<ssize_t>(part.size()));
    for (int tries = 0; tries < 500 && !hasTemporaryFile(); ++tries) {
      std::this_thread::sleep_for(std::chrono::milliseconds(10));
    }
    ASSERT_TRUE(hasTemporaryFile());
    program.signal(signalNumber);
    const auto result = program.wait();
    close(writer);
    EXPECT_EQ(program.terminatingSignal(), signalNumber);
    EXPECT_EQ(result.err, "");
    EXPECT_FALSE(hasTemporaryFile());
    EXPECT_EQ(dir_.read("enigma_code.txt"), "old code file");
  }
}

TEST_F(HostileInputTest, StandardInputWithNulBytesAndHugeWords) {
  // A name holding a NUL byte must not open the file named by its first part.
  dir_.write("a", "exists");
  const std::string nulName = std::string("-u a") + '\0' + "b 1 0 RW-26001A\n";
  EXPECT_EQ(run(nulName).err, kNotFound);
  const std::string hugeWord(5'000'000, 'w');
  const auto huge = run("-u " + hugeWord + " 0\n" + hugeWord + "\n-h\n");
  EXPECT_EQ(huge.err, kNotFound);
  EXPECT_EQ(huge.status, 1);
  EXPECT_NE(huge.out.find("|-u下参数列表"), std::string::npos);
  // A huge number fails like any word that is no number and is read again whole.
  const auto number = run("-u missing.txt " + std::string(3'000'000, '9') + "\n");
  EXPECT_EQ(number.err, kNotFound);
  EXPECT_EQ(number.status, 1);
  const auto noise = run(std::string("\0\0-u\0\xFF\xFE -h\0 \0", 14));
  EXPECT_EQ(noise.status, 0);
}

TEST_F(HostileInputTest, LeadingZerosAreCountedNotStored) {
  SKIP_ON_WINDOWS_BUILD("FIFOs");
  dir_.write("text.txt", "Ab");
  // Streamed through a pipe, so that only the program can hold the zeros.
  const auto runWithZeros = [&](const std::string& before, const std::string& after) {
    std::filesystem::remove(dir_ / "in.fifo");
    EXPECT_EQ(mkfifo((dir_ / "in.fifo").c_str(), 0600), 0);
    // Opened for writing first, so that the program's open does not wait for a writer.
    const int writer = open((dir_ / "in.fifo").c_str(), O_RDWR | O_CLOEXEC);
    test::RunningProgram program(dir_.path(), "",
                                 {.locale = "C.UTF-8", .input = (dir_ / "in.fifo").string()});
    const std::string zeros(1 << 20, '0');
    bool written = write(writer, before.data(), before.size()) > 0;
    for (int i = 0; i < 64 && written; ++i) {
      written = write(writer, zeros.data(), zeros.size()) == static_cast<ssize_t>(zeros.size());
    }
    written = written && write(writer, after.data(), after.size()) > 0;
    close(writer);
    EXPECT_TRUE(written);
    return program.wait();
  };
  // Well under the 64 MiB of zeros, with room for a sanitizer's own memory.
  constexpr long kMemoryBound = 48L << 10;
  const auto result = runWithZeros("-u text.txt ", "1 0 RW-26001A\n");
  EXPECT_EQ(result.err, "[成功] 成功输出到文件enigma_code.txt");
  EXPECT_LT(result.peakMemory, kMemoryBound) << "KiB";
  // Too large as a number, the word is read again whole as a command word.
  const auto failed = runWithZeros("-u text.txt -", "99999999999 -h\n");
  EXPECT_EQ(failed.err, kFormat);  // a failed t makes it a decryption
  EXPECT_NE(failed.out.find("|-u下参数列表"), std::string::npos);
  EXPECT_LT(failed.peakMemory, kMemoryBound) << "KiB";
}

TEST_F(HostileInputTest, TextFilesThatAreNoFiles) {
  std::filesystem::create_directory(dir_ / "folder");
  EXPECT_EQ(run("-u folder 1 0 RW-26001A\n").err, kNotFound);
  EXPECT_EQ(run("-u folder 0\n").err, kNotFound);
  EXPECT_FALSE(std::filesystem::exists(dir_ / "enigma_code.txt"));
}

TEST_F(HostileInputTest, CodeFilesOfOnlyMarksOrOneEndlessWord) {
  dir_.write("marks.txt", std::string(2'000'000, '#'));
  EXPECT_EQ(run("-u marks.txt 0\n").err, kFormat);
  dir_.write("word.txt", "RW-Eng" + std::string(2'000'000, 'x'));
  EXPECT_EQ(run("-u word.txt 0\n").err, kFormat);
  // A word that never ends is judged by its start.
  if (!test::windowsBuild()) {
    EXPECT_EQ(run("-u /dev/zero 0\n").err, kFormat);
  }
  // A body of only marks: the last one ends it, the others are text.
  dir_.write("body.txt", "RW-Eng " + std::string(100000, '#'));
  const auto body = run("-u body.txt 0\n");
  EXPECT_NE(body.out.find(std::string(99999, '#')), std::string::npos);
  EXPECT_EQ(body.err, "[警告] 文件编码类型不存在");
}

TEST_F(HostileInputTest, HugeSettingsWordsWithoutWhitespace) {
  dir_.write("enigma_config.ef", std::string(20'000'000, 'a'));
  dir_.write("text.txt", "hello");
  const auto result = run("-u text.txt 1 0 RW-26001A\n");
  EXPECT_EQ(result.err, "[错误] 配置文件有误：enigma_config.ef（反射器）");
  EXPECT_EQ(result.status, 1);
  // A device that never ends is no settings file: refused before it is read.
  SKIP_ON_WINDOWS_BUILD("devices");
  std::filesystem::remove(dir_ / "enigma_config.ef");
  std::filesystem::create_symlink("/dev/zero", dir_ / "enigma_config.ef");
  EXPECT_EQ(run("-u text.txt 1 0 RW-26001A\n").err,
            "[错误] 配置文件有误：enigma_config.ef（无法打开）");
}

}  // namespace
}  // namespace rotorwerk
