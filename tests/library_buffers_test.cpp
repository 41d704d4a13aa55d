// The library's buffer functions: the very bytes of the file forms, made in memory
// without a scratch file.
#include <gtest/gtest.h>
#include <sys/resource.h>
#include <sys/wait.h>
#include <unistd.h>

#include <chrono>
#include <csignal>
#include <cstdio>
#include <cstdlib>
#include <filesystem>
#include <string>
#include <tuple>
#include <vector>

#include "rotorwerk/rotorwerk.h"
#include "test_support.h"

namespace rotorwerk {
namespace {

const test::SettingsText kKey = test::randomSettings(11, {3, 25, 24});

api::Settings key() {
  auto settings = api::Settings::parse(kKey.wiring, kKey.start);
  EXPECT_TRUE(settings) << api::describe(settings.fault());
  return *settings;
}

// Texts at the edges of the code file's layout and of the blocks it is read in.
std::vector<std::string> texts() {
  std::string large(std::size_t{1024} * 1024 + 7, 'q');
  for (std::size_t i = 0; i < large.size(); i += 61) large[i] = '\n';
  return {"",
          "Meet me at the old mill",
          "a # in the text # twice",
          "CR LF\r\nline\r\n\r",
          std::string("NUL \0 and 0x1A \x1A bytes", 23),
          "\xD6\xD0\xCE\xC4 GBK f\xA1\x66",
          "12345 !?",
          large};
}

// Codes as a user may hand them over, sound or not.
std::vector<std::string> codes() {
  const std::string sound = *api::encrypt(key(), "Meet me at the old mill");
  return {sound,
          sound.substr(0, sound.size() - 2),
          sound.substr(0, sound.find('#')),
          "RW-Eng",
          "RW-Chn\r\nbody#RW-26001A ",
          "\n\n  RW-Eng body#RW-26001C xyz",
          "RW-Eng#RW-26001A ",
          "RW-Eng ab#cd#RW-26001B q",
          "no code file"};
}

TEST(LibraryBuffers, EncryptGivesTheBytesOfEncryptFile) {
  const test::ScratchDir dir;
  const api::Settings settings = key();
  for (const std::string& text : texts()) {
    for (const auto type : {api::kPlainCodingType, api::kCheckedCodingType}) {
      SCOPED_TRACE(text.substr(0, 30) + " " + std::string(type));
      dir.write("text.txt", text);
      const auto written =
          api::encryptFile(settings, (dir / "text.txt").string(), (dir / "code.txt").string(),
                           api::TextLabel::kChinese, type);
      ASSERT_TRUE(written) << api::describe(written.fault());
      const auto code = api::encrypt(settings, text, api::TextLabel::kChinese, type);
      ASSERT_TRUE(code);
      EXPECT_TRUE(*code == dir.read("code.txt"));
    }
  }
}

TEST(LibraryBuffers, DecryptGivesWhatDecryptFileWrites) {
  const test::ScratchDir dir;
  const api::Settings settings = key();
  for (const std::string& code : codes()) {
    SCOPED_TRACE(code);
    dir.write("code.txt", code);
    std::FILE* out = std::fopen((dir / "out.txt").c_str(), "wb");
    ASSERT_NE(out, nullptr);
    const auto fromFile = api::decryptFile(
        settings, (dir / "code.txt").string(),
        [&](api::TextLabel) -> Result<std::FILE*> { return out; }, "out.txt");
    std::fclose(out);
    const auto fromMemory = api::decrypt(settings, code);
    ASSERT_EQ(static_cast<bool>(fromFile), static_cast<bool>(fromMemory));
    if (!fromFile) {
      EXPECT_EQ(fromFile.fault().kind, fromMemory.fault().kind);
      continue;
    }
    EXPECT_EQ(fromMemory->text, dir.read("out.txt"));
    const api::Verification& a = *fromFile;
    const api::Verification& b = fromMemory->verification;
    EXPECT_EQ(std::tie(a.label, a.codingTypeKnown, a.failedChecks, a.truncated),
              std::tie(b.label, b.codingTypeKnown, b.failedChecks, b.truncated));
  }
}

// A buffer has no file name, so its faults name what is at fault: the code as the attack
// names the codes it is handed, and the coding type itself, in the file forms too.
TEST(LibraryBuffers, FaultsNameWhatIsAtFault) {
  const test::ScratchDir dir;
  dir.write("text.txt", "Meet me");
  const std::string text = (dir / "text.txt").string();
  const std::string code = (dir / "code.txt").string();
  const api::Settings settings = key();
  const struct {
    const char* what;
    Fault fault;
    const char* message;
  } rows[] = {
      {"decrypt", api::decrypt(settings, "\x01\x02 binary").fault(),
       "code is no code file: it does not begin with RW-Eng or RW-Chn"},
      {"decrypt of nothing", api::decrypt(settings, "").fault(),
       "code is no code file: it does not begin with RW-Eng or RW-Chn"},
      {"encrypt", api::encrypt(settings, "Meet me", api::TextLabel::kEnglish, "RW-9").fault(),
       "no such coding type: RW-9"},
      {"encryptFile",
       api::encryptFile(settings, text, code, api::TextLabel::kEnglish, "RW-26001Z").fault(),
       "no such coding type: RW-26001Z"},
  };
  for (const auto& row : rows) EXPECT_EQ(api::describe(row.fault), row.message) << row.what;
  EXPECT_FALSE(std::filesystem::exists(dir / "code.txt"));
}

TEST(LibraryBuffers, ParseReadsTheTextsAsLoadReadsTheFiles) {
  const struct {
    std::string wiring;
    std::string start;
  } rows[] = {
      {kKey.wiring, kKey.start},
      {"\xEF\xBB\xBF" + kKey.wiring, "\xEF\xBB\xBF" + kKey.start},
      {kKey.wiring, "1\nab\n1 1 1\n0 0"},
      {"abc 1", kKey.start},
      {kKey.wiring, ""},
  };
  for (const auto& row : rows) {
    const test::ScratchDir dir;
    dir.write("enigma_config.ef", row.wiring);
    dir.write("enigma_init.ef", row.start);
    const auto loaded = api::Settings::load(dir.path().string());
    const auto parsed = api::Settings::parse(row.wiring, row.start);
    ASSERT_EQ(static_cast<bool>(loaded), static_cast<bool>(parsed)) << row.start;
    if (!loaded) {
      EXPECT_EQ(loaded.fault().item, parsed.fault().item);
      EXPECT_EQ(parsed.fault().file.find('/'), std::string::npos);
      continue;
    }
    EXPECT_EQ(loaded->wiringText() + loaded->startText(),
              parsed->wiringText() + parsed->startText());
  }
}

// With no file to be written at all (a file size limit of 0, and a temporary folder that
// does not exist), parsing, enciphering and deciphering in memory still work.
TEST(LibraryBuffers, TouchNoDisk) {
  const std::string text = texts().back();
  const std::string expected = *api::encrypt(key(), text);
  const pid_t child = fork();
  ASSERT_GE(child, 0);
  if (child == 0) {
    std::signal(SIGXFSZ, SIG_IGN);
    const rlimit none{0, 0};
    setenv("TMPDIR", "/nonexistent/rotorwerk", 1);
    if (setrlimit(RLIMIT_FSIZE, &none) != 0) _exit(2);
    const auto settings = api::Settings::parse(kKey.wiring, kKey.start);
    if (!settings) _exit(3);
    const auto code = api::encrypt(*settings, text);
    if (!code || *code != expected) _exit(4);
    const auto found = api::decrypt(*settings, *code);
    if (!found || found->text != text || !found->verification.verified()) _exit(5);
    // The attack reads its codes in memory too; a second is enough to read them.
    api::AttackOptions options;
    options.threads = 1;
    options.timeLimit = std::chrono::seconds(1);
    const auto wiring = api::Settings::parseWiring(kKey.wiring);
    if (!wiring || !api::attack({*code}, *wiring, options)) _exit(7);
    // The check itself: a file form does need the disk here.
    if (std::FILE* scratch = std::tmpfile(); scratch != nullptr) {
      const bool wrote = std::fwrite(text.data(), 1, text.size(), scratch) == text.size() &&
                         std::fflush(scratch) == 0;
      if (wrote) _exit(6);
    }
    _exit(0);
  }
  int status = 0;
  ASSERT_EQ(waitpid(child, &status, 0), child);
  ASSERT_TRUE(WIFEXITED(status));
  EXPECT_EQ(WEXITSTATUS(status), 0);
}

}  // namespace
}  // namespace rotorwerk
