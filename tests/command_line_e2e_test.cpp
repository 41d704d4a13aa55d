// The command line for scripts: each command's output files, messages and exit status.
#include <fcntl.h>
#include <gtest/gtest.h>
#include <sys/stat.h>
#include <unistd.h>

#include <algorithm>
#include <cctype>
#include <cstdlib>
#include <random>
#include <sstream>

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
  EXPECT_EQ(result.err, "rotorwerk: wrote enigma_code.txt\n");
  EXPECT_EQ(dir_.read("enigma_code.txt"), console);
  // The long options, and nothing said on success when quiet.
  const auto quiet = run({"encrypt", "--lang", "zh", "--type=RW-26001A", "--output", "long.code",
                          "--quiet", "text.txt"});
  EXPECT_EQ(quiet.err, "");
  EXPECT_EQ(dir_.read("long.code"), console);
  // Elsewhere, or on standard output, with the settings from another directory.
  test::ScratchDir elsewhere;
  test::writeSettings(elsewhere, test::randomSettings(41, {2, 11, 25}));
  std::filesystem::remove(dir_ / "enigma_config.ef");
  const auto piped = run(
      {"encrypt", "-", "-l", "zh", "-t", "RW-26001A", "-o", "-", "-s", elsewhere.path().string()},
      dir_.read("text.txt"));
  EXPECT_EQ(piped.status, 0);
  EXPECT_EQ(test::asShown(piped.out), console);
  // "--" ends the options, so a file may begin with '-'; the last -o counts.
  dir_.write("-text.txt", dir_.read("text.txt"));
  EXPECT_EQ(run({"encrypt", "-l", "zh", "-t", "RW-26001A", "-o", "x", "-o", "dashed.code", "-s",
                 elsewhere.path().string(), "--", "-text.txt"})
                .status,
            0);
  EXPECT_EQ(dir_.read("dashed.code"), console);
  EXPECT_FALSE(std::filesystem::exists(dir_ / "x"));
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
  EXPECT_EQ(result.err, "rotorwerk: language: English\n");
  EXPECT_EQ(dir_.read("back.txt"), test::asShown(text));
  // Deciphered onto its own code file: read whole first, then replaced.
  EXPECT_EQ(run({"decrypt", "code.txt", "-o", "code.txt"}).status, 0);
  EXPECT_EQ(dir_.read("code.txt"), test::asShown(text));
  ASSERT_EQ(run({"encrypt", "text.txt", "-o", "code.txt"}).status, 0);
  // Another right offset: the text comes out garbled and the check fails.
  test::writeSettings(dir_, test::straightSettings(7, 19, 4, "2 qr dx"));
  const auto wrong = run({"decrypt", "code.txt"});
  EXPECT_EQ(wrong.status, 3);
  EXPECT_NE(
      wrong.err.find(
          "rotorwerk: warning: a check letter of code.txt does not match: the start positions "
          "differ\n"),
      std::string::npos);
  EXPECT_EQ(run({"decrypt", "text.txt"}).err,
            "rotorwerk: text.txt is no code file: it does not begin with RW-Eng or RW-Chn\n");
  // A code file cut off in its check letters, in its coding type, or after its '#'.
  const std::string code = dir_.read("code.txt");
  for (const std::size_t cut : {2, 9, 13}) {
    dir_.write("cut.code", code.substr(0, code.size() - cut));
    const auto result = run({"decrypt", "cut.code", "-o", "cut.txt"});
    EXPECT_EQ(result.status, 3) << cut;
    EXPECT_NE(result.err.find("rotorwerk: warning: cut.code ends early: its coding type or check "
                              "letters are cut off\n"),
              std::string::npos)
        << result.err;
  }
  EXPECT_EQ(run({"decrypt", "code.txt"}).err.find("ends early"), std::string::npos);
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

// Both front ends, in order: a later row may read what an earlier one wrote.
TEST_F(CommandLineTest, ExitStatusOfEachOutcome) {
  test::writeSettings(dir_, test::straightSettings(1, 2, 3));
  dir_.write("text.txt", "Hello");
  dir_.write("odd.code", "RW-Eng Uryyb#RW-26001C ");
  dir_.write("wrong.code", "RW-Eng Uryyb#RW-26001B abd");
  // The bytes just beside the letters are no letters.
  dir_.write("letterless.code", "RW-Eng 12, [34]{@`}.#RW-26001A");
  dir_.write("longer.code", "RW-Eng Uryyb#RW-26001AA ");
  // Letters at random: no key makes them English.
  std::string noise = "RW-Eng ";
  std::mt19937 random(3);
  for (int k = 0; k < 150; ++k) noise += static_cast<char>('a' + random() % 26);
  dir_.write("noise.code", noise + "#RW-26001A");
  struct Case {
    std::vector<std::string> arguments;  // none: the console, with the input
    std::string input;
    int status;
  };
  for (const auto& [arguments, input, status] :
       {Case{{"encrypt", "text.txt"}, "", 0},
        {{"encrypt", "missing.txt"}, "", 1},
        {{"encrypt", "text.txt", "-s", "text.txt"}, "", 1},
        {{"decrypt", "enigma_code.txt"}, "", 0},
        {{"decrypt", "odd.code"}, "", 3},
        {{"decrypt", "wrong.code"}, "", 3},
        {{"decrypt", "longer.code"}, "", 3},
        {{"decrypt", "text.txt"}, "", 1},
        {{"check", "--settings", "no-such-directory"}, "", 1},
        {{"check"}, "", 0},
        {{"decrypt", "--help"}, "", 0},
        {{"keygen", "-h"}, "", 0},
        {{"trace", "text.txt"}, "", 0},
        {{"trace", "missing.txt"}, "", 1},
        {{"attack", "text.txt"}, "", 1},
        {{"attack", "letterless.code"}, "", 1},
        {{"attack", "noise.code", "--time-limit", "5"}, "", 1},
        {{"attack", "wrong.code", "-s", "no-such-directory"}, "", 1},
        {{}, "-u text.txt 1 0 RW-26001A\n-u enigma_code.txt 0\n", 0},
        {{}, "-u odd.code 0\n-u wrong.code 0\n", 0},
        {{}, "-u text.txt 1 0 RW-26001C\n", 1},
        {{}, "-u missing.txt 0\n-u text.txt", 1}}) {
    const auto result =
        test::runProgram(dir_.path(), input, {.locale = "C.UTF-8", .arguments = arguments});
    EXPECT_EQ(result.status, status) << (arguments.empty() ? input : arguments[1]);
  }
}

TEST_F(CommandLineTest, MessagesFollowTheLocalesLanguageAndEncoding) {
  SKIP_ON_WINDOWS_BUILD("Windows takes the user's UI language, not the locale");
  test::writeSettings(dir_, test::straightSettings(1, 2, 3));
  const std::string english = "rotorwerk: cannot open missing: No such file or directory\n";
  const std::string chinese = "rotorwerk: 无法打开文件missing：No such file or directory\n";
  for (const auto& [locale, expected] : {std::pair<std::string, std::string>{"C", english},
                                         {"en_US.UTF-8", english},
                                         {"zh_CN.UTF-8", chinese},
                                         {"zh_CN.GBK", test::toGbk(chinese)},
                                         // LC_MESSAGES before LANG, as gettext reads them.
                                         {"LC_MESSAGES=zh_CN.UTF-8 LANG=en_US.UTF-8", chinese},
                                         {"LC_MESSAGES=en_US.UTF-8 LANG=zh_CN.UTF-8", english},
                                         {"LANG=zh_CN.UTF-8", chinese}}) {
    const auto result =
        test::runProgram(dir_.path(), "", {.locale = locale, .arguments = {"decrypt", "missing"}});
    EXPECT_EQ(result.err, expected) << locale;
  }
  const auto help = run({"encrypt", "--help"});
  EXPECT_NE(help.out.find("-o, --output PATH"), std::string::npos) << help.out;
}

// Every numeric option takes its whole range and nothing beyond either end: the
// numbers are the documented ones, written here, not read from the command table.
TEST_F(CommandLineTest, NumericOptionsTakeTheirRangeAndNoMore) {
  struct Range {
    std::vector<std::string> command;  // the command and its operand, if any
    std::string option;
    long long minimum;
    long long maximum;
  };
  const std::vector<Range> ranges = {{{"keygen"}, "--rotors", 1, 10},
                                     {{"keygen"}, "--plugs", 0, 13},
                                     {{"trace", "text.txt"}, "--letters", 0, 1000000},
                                     {{"attack", "missing.code"}, "--threads", 0, 256},
                                     {{"attack", "missing.code"}, "--time-limit", 1, 86400}};
  test::writeSettings(dir_, test::randomSettings(7, {1, 2, 3}));
  dir_.write("text.txt", "Abc def.\n");
  int runNumber = 0;
  const auto runWith = [&](const Range& range, long long value) {
    std::vector<std::string> arguments = range.command;
    arguments.insert(arguments.end(), {range.option, std::to_string(value)});
    // Each key of its own directory, so that none meets an earlier one.
    if (range.command[0] == "keygen") {
      arguments.insert(arguments.end(), {"-s", "keys" + std::to_string(++runNumber)});
    }
    return run(arguments);
  };
  for (const Range& range : ranges) {
    for (const long long outside : {range.minimum - 1, range.maximum + 1}) {
      const auto refused = runWith(range, outside);
      EXPECT_EQ(refused.status, 2) << range.option << ' ' << outside;
      EXPECT_EQ(refused.err, "rotorwerk: invalid value for " + range.option + ": " +
                                 std::to_string(outside) + " (a whole number from " +
                                 std::to_string(range.minimum) + " to " +
                                 std::to_string(range.maximum) + ") (see 'rotorwerk --help')\n");
    }
    for (const long long inside : {range.minimum, range.maximum}) {
      const auto accepted = runWith(range, inside);
      EXPECT_EQ(accepted.err.find("invalid value"), std::string::npos) << accepted.err;
      // The attack's code file is missing on purpose: its options were taken.
      EXPECT_EQ(accepted.status, range.command[0] == "attack" ? 1 : 0)
          << range.option << ' ' << inside << ": " << accepted.err;
    }
  }
}

TEST_F(CommandLineTest, UsageErrorsExitWithTwo) {
  for (const std::vector<std::string>& arguments : {std::vector<std::string>{"bogus"},
                                                    {"encrypt"},
                                                    {"decrypt"},
                                                    {"encrypt", "a", "-x"},
                                                    {"encrypt", "a", "-l", "fr"},
                                                    {"keygen", "--rotors", "11"},
                                                    {"encrypt", "a", "-o", ""},
                                                    {"-V", "encrypt", "a", "-o", "b"},
                                                    {"check", "extra"},
                                                    {"trace"},
                                                    {"trace", "a", "-n", "x"},
                                                    {"trace", "a", "--format", "csv"},
                                                    {"trace", "a", "-t", "RW-26001C"},
                                                    {"attack"},
                                                    {"attack", "a", "--threads", "-1"},
                                                    {"attack", "a", "--time-limit", "0"},
                                                    {"-s", "k2", "encrypt", "a", "-o", "b"},
                                                    {"-q", "encrypt", "a", "-o", "b"},
                                                    {"k2", "encrypt", "a", "-o", "b"},
                                                    {"encrypt", "a", "--", "-b", "c"},
                                                    {"attack", "a", "b", "-x"},
                                                    {"attack", "a", "--crib", ""},
                                                    {"attack", "a", "--language", "it"}}) {
    const auto result = run(arguments);
    EXPECT_EQ(result.status, 2) << arguments[0];
    EXPECT_EQ(result.err.rfind("rotorwerk: ", 0), 0U) << result.err;
    EXPECT_NE(result.err.find(" (see 'rotorwerk --help')\n"), std::string::npos) << result.err;
  }
  const std::string version = run({"--version"}).out;
  EXPECT_EQ(version.rfind("rotorwerk (Rotorwerk Pro) 1.0.0-beta1\nCopyright", 0), 0U);
  // The licence it is shared under, which LICENSE and the packages carry too.
  EXPECT_NE(version.find("\nLicense Apache-2.0: <https://www.apache.org/licenses/LICENSE-2.0>."),
            std::string::npos)
      << version;
  EXPECT_NE(run({"-h"}).out.find("  keygen "), std::string::npos);
  EXPECT_EQ(run({"--help", "encrypt"}).out, run({"encrypt", "--help"}).out);
  EXPECT_FALSE(std::filesystem::exists(dir_ / "b"));
  // Messages name the option at fault.
  EXPECT_EQ(run({"-s", "k2", "encrypt", "a"}).err,
            "rotorwerk: -s must follow the command, as in 'rotorwerk COMMAND -s' (see "
            "'rotorwerk --help')\n");
  EXPECT_EQ(run({"encrypt", "a", "--output"}).err,
            "rotorwerk: the option --output needs a value (see 'rotorwerk --help')\n");
}

TEST_F(CommandLineTest, OutputLinksAreWrittenThroughAndStay) {
  SKIP_ON_WINDOWS_BUILD("symbolic links");
  test::writeSettings(dir_, test::straightSettings(1, 2, 3));
  dir_.write("text.txt", "Through the link.");
  ASSERT_EQ(run({"encrypt", "text.txt", "-o", "plain.code"}).status, 0);
  const std::string code = dir_.read("plain.code");
  dir_.write("target.txt", "old");
  std::filesystem::create_directory(dir_ / "folder");
  std::filesystem::create_symlink("target.txt", dir_ / "to-file");
  std::filesystem::create_symlink("folder", dir_ / "to-folder");
  std::filesystem::create_symlink("made.txt", dir_ / "dangling");
  // A loop, and a chain of 41 links, one more than the system follows.
  std::filesystem::create_symlink("loop-b", dir_ / "loop-a");
  std::filesystem::create_symlink("loop-a", dir_ / "loop-b");
  std::filesystem::create_symlink("target.txt", dir_ / "chain0");
  for (int k = 1; k <= 41; ++k) {
    std::filesystem::create_symlink("chain" + std::to_string(k - 1),
                                    dir_ / ("chain" + std::to_string(k)));
  }
  struct Case {
    std::string output;
    int status;
    std::string written;  // the file that receives the code
  };
  for (const auto& [output, status, written] : {Case{"to-file", 0, "target.txt"},
                                                {"to-folder", 1, ""},
                                                {"dangling", 0, "made.txt"},
                                                {"loop-a", 1, ""},
                                                {"chain41", 1, ""}}) {
    dir_.write("target.txt", "old");
    EXPECT_EQ(run({"encrypt", "text.txt", "-o", output}).status, status) << output;
    EXPECT_TRUE(std::filesystem::is_symlink(dir_ / output)) << output;
    EXPECT_EQ(dir_.read("target.txt"), written == "target.txt" ? code : "old") << output;
    if (!written.empty()) {
      EXPECT_EQ(dir_.read(written), code) << output;
    }
  }
  EXPECT_TRUE(std::filesystem::is_empty(dir_ / "folder"));
  for (int k = 0; k <= 41; ++k) {
    EXPECT_TRUE(std::filesystem::is_symlink(dir_ / ("chain" + std::to_string(k))));
  }
  // A descriptor's name is the descriptor, written where the shell left it: '>>' keeps
  // what the file held. Run as nobody where possible, so that a link in /dev could not
  // be replaced anyway.
  test::RunOptions options{
      .locale = "C.UTF-8", .output = (dir_ / "out.txt").string(), .appendOutput = true};
  if (geteuid() == 0) {
    options.command = {"setpriv", "--reuid=65534", "--regid=65534", "--clear-groups", "--"};
    ASSERT_EQ(chmod(dir_.path().c_str(), 0777), 0);
  }
  for (const std::string name : {"/dev/stdout", "/proc/self/fd/1", "/dev/fd/1"}) {
    dir_.write("out.txt", "old");
    ASSERT_EQ(chmod((dir_ / "out.txt").c_str(), 0666), 0);
    options.arguments = {"encrypt", "text.txt", "-o", name};
    EXPECT_EQ(test::runProgram(dir_.path(), "", options).status, 0) << name;
    EXPECT_EQ(dir_.read("out.txt"), "old" + code) << name;
  }
  EXPECT_TRUE(std::filesystem::is_symlink("/dev/stdout"));
}

TEST_F(CommandLineTest, NamesOutsideAnyCodePageAreTakenWhole) {
  test::writeSettings(dir_, test::straightSettings(1, 2, 3));
  dir_.write("한글😀.txt", "Hello");
  dir_.write("victim.txt", "keep");
  const std::string longName(255, 'n');
  for (const std::string& output : {std::string("ｖictim.txt"), longName}) {
    const auto result = run({"encrypt", "한글😀.txt", "-o", output});
    EXPECT_EQ(result.status, 0) << result.err;
    EXPECT_EQ(dir_.read(output).substr(0, 7), "RW-Eng ") << output.size();
  }
  EXPECT_EQ(dir_.read("victim.txt"), "keep");
  // A name is shown with its control characters escaped.
  // The reason is the system's own: "No such file or directory", or Windows' words.
  EXPECT_EQ(run({"decrypt", "a\nb\x1b[2J"}).err.rfind("rotorwerk: cannot open a\\nb\\x1B[2J: ", 0),
            0U);
  // C1 controls too: CSI as the character U+009B, and on POSIX as a lone byte.
  EXPECT_EQ(run({"decrypt",
                 "c\xC2\x9B"
                 "2J\xC3\xA9"})
                .err.rfind("rotorwerk: cannot open c\\u009B2J\xC3\xA9: ", 0),
            0U);
  if (!test::windowsBuild()) {
    EXPECT_EQ(run({"decrypt",
                   "d\x9B"
                   "2J"})
                  .err.rfind("rotorwerk: cannot open d\\x9B2J: ", 0),
              0U);
  }
}

TEST_F(CommandLineTest, UnreadableInputIsAReadErrorAndReplacesNothing) {
  test::writeSettings(dir_, test::straightSettings(1, 2, 3));
  dir_.write("enigma_code.txt", "old");
  std::vector<std::vector<std::string>> cases = {{"encrypt", "-"}, {"decrypt", "-"}};
  if (!test::windowsBuild()) cases.push_back({"decrypt", "/proc/self/mem"});
  for (const auto& arguments : cases) {
    const auto result = test::runProgram(
        dir_.path(), "", {.locale = "C.UTF-8", .input = test::kClosed, .arguments = arguments});
    EXPECT_EQ(result.status, 1) << arguments[1];
    EXPECT_EQ(result.err.rfind("rotorwerk: cannot read " + arguments[1] + ": ", 0), 0U)
        << result.err;
  }
  EXPECT_EQ(dir_.read("enigma_code.txt"), "old");
}

TEST_F(CommandLineTest, OutputThatCannotBeWrittenFailsTheRun) {
  SKIP_ON_WINDOWS_BUILD("devices");
  test::writeSettings(dir_, test::straightSettings(1, 2, 3));
  struct Case {
    std::vector<std::string> arguments;  // none: the console with its input
    std::string output;
    std::string lost;
  };
  const std::string lost = "rotorwerk: cannot write standard output: ";
  for (const auto& [arguments, output, expected] :
       {Case{{"check"}, "/dev/full", lost + "No space left on device\n"},
        {{"--help"}, "/dev/full", lost + "No space left on device\n"},
        {{"--version"}, test::kClosed, lost + "Bad file descriptor\n"},
        {{"decrypt", "missing", "-o", "-"},
         test::kClosed,
         "rotorwerk: cannot open missing: No such file or directory\n"},
        {{}, "/dev/full", "[错误] 无法写入标准输出"},
        {{}, test::kClosed, "[错误] 无法写入标准输出"}}) {
    const auto result = test::runProgram(
        dir_.path(), "-h\n", {.locale = "C.UTF-8", .output = output, .arguments = arguments});
    EXPECT_EQ(result.status, 1) << output;
    EXPECT_EQ(result.err.substr(result.err.size() - std::min(result.err.size(), expected.size())),
              expected)
        << output;
  }
  // A job that writes nothing there loses nothing by a closed standard output.
  dir_.write("text.txt", "Hello");
  for (const std::vector<std::string>& arguments :
       {std::vector<std::string>{"keygen", "-s", "fresh"}, {"encrypt", "text.txt", "-o", "x"}}) {
    EXPECT_EQ(
        test::runProgram(dir_.path(), "",
                         {.locale = "C.UTF-8", .output = test::kClosed, .arguments = arguments})
            .status,
        0)
        << arguments[0];
  }
}

TEST_F(CommandLineTest, KeygenWritesFreshPrivateSoundSettingsOnlyOnce) {
  ASSERT_EQ(run({"keygen", "--rotors", "4", "--plugs", "13"}).status, 0);
  const RotorMachine machine = test::loadMachine(dir_.path());
  EXPECT_EQ(machine.rotorCount, 4);
  EXPECT_EQ(test::pluggedLetters(machine), 26);
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

// A start file of its own for each message, under a wiring that stays byte for byte;
// without the wiring nothing is made, not even the directory.
TEST_F(CommandLineTest, StartOnlyNeedsTheWiringAndKeepsIt) {
  const std::string noWiring =
      "rotorwerk: no wiring file keys/enigma_config.ef: a start file is made for a wiring, so "
      "the wiring comes first ('rotorwerk keygen -s keys' makes both files, or copy the shared "
      "enigma_config.ef there)\n";
  const auto fresh = run({"keygen", "--start-only", "--force", "-s", "keys"});
  EXPECT_EQ(fresh.status, 1);
  EXPECT_EQ(fresh.err, noWiring);
  EXPECT_FALSE(std::filesystem::exists(dir_ / "keys"));
  std::filesystem::create_directory(dir_ / "keys");
  const auto empty = run({"keygen", "--start-only", "-s", "keys"});
  EXPECT_EQ(empty.err, noWiring);
  EXPECT_TRUE(std::filesystem::is_empty(dir_ / "keys"));
  const auto here = run({"keygen", "--start-only"});
  EXPECT_EQ(here.status, 1);
  EXPECT_NE(here.err.find("no wiring file enigma_config.ef: "), std::string::npos) << here.err;
  EXPECT_NE(here.err.find("'rotorwerk keygen -s .'"), std::string::npos) << here.err;
  if (!test::windowsBuild()) {
    // A link that leads nowhere is no directory to make through.
    std::filesystem::create_symlink("gone", dir_ / "dangling");
    EXPECT_EQ(run({"keygen", "--start-only", "-s", "dangling"}).status, 1);
    EXPECT_FALSE(std::filesystem::exists(dir_ / "gone"));
  }

  ASSERT_EQ(run({"keygen", "-s", "keys", "-q"}).status, 0);
  const std::string wiring = dir_.read("keys/enigma_config.ef");
  const std::string start = dir_.read("keys/enigma_init.ef");
  // Without --force the start file in place stays.
  EXPECT_EQ(run({"keygen", "--start-only", "-s", "keys"}).status, 1);
  EXPECT_EQ(dir_.read("keys/enigma_init.ef"), start);
  const auto renewed = run({"keygen", "--start-only", "--force", "-s", "keys"});
  EXPECT_EQ(renewed.status, 0);
  EXPECT_EQ(renewed.err, "rotorwerk: wrote a new start file in keys\n");
  EXPECT_EQ(dir_.read("keys/enigma_config.ef"), wiring);
  EXPECT_NE(dir_.read("keys/enigma_init.ef"), start);
  // A start file alone, beside a wiring copied in, is made for that wiring.
  std::filesystem::create_directory(dir_ / "friend");
  dir_.write("friend/enigma_config.ef", wiring);
  ASSERT_EQ(run({"keygen", "--start-only", "-s", "friend"}).status, 0);
  EXPECT_EQ(run({"check", "-s", "friend", "-q"}).status, 0);
  EXPECT_EQ(dir_.read("friend/enigma_config.ef"), wiring);
}

TEST_F(CommandLineTest, KeyFilesAreOneKeyOrNothing) {
  ASSERT_EQ(run({"keygen"}).status, 0);
  std::filesystem::rename(dir_ / "enigma_init.ef", dir_ / "init.saved");
  struct Case {
    std::string blocker;  // what stands at enigma_init.ef
    bool force;
    std::string error;
  };
  std::vector<Case> cases = {
      {"directory", true, "rotorwerk: enigma_init.ef is not a regular file\n"}};
  if (!test::windowsBuild()) {
    cases.push_back({"/dev/null", true, "rotorwerk: enigma_init.ef is not a regular file\n"});
    cases.push_back({"fifo", true, "rotorwerk: enigma_init.ef is not a regular file\n"});
    cases.push_back(
        {"nowhere", false, "rotorwerk: enigma_init.ef exists; --force overwrites it\n"});
    cases.push_back({"init.saved", true, ""});
    cases.push_back({"enigma_config.ef", true,
                     "rotorwerk: enigma_config.ef and enigma_init.ef lead to one file; a key "
                     "needs two\n"});
  }
  const auto wiringFile = dir_ / "enigma_config.ef";
  const auto blocker = dir_ / "enigma_init.ef";
  for (const auto& c : cases) {
    if (!c.force) std::filesystem::remove(wiringFile);
    const bool hadWiring = std::filesystem::exists(wiringFile);
    const std::string wiring = hadWiring ? dir_.read("enigma_config.ef") : "";
    const std::string saved = dir_.read("init.saved");
    if (c.blocker == "directory") {
      std::filesystem::create_directory(blocker);
    } else if (c.blocker == "fifo") {
      ASSERT_EQ(mkfifo(blocker.c_str(), 0600), 0);
    } else {
      std::filesystem::create_symlink(c.blocker, blocker);
    }
    const auto result = run(c.force ? std::vector<std::string>{"keygen", "--force"}
                                    : std::vector<std::string>{"keygen"});
    if (!c.error.empty()) {
      EXPECT_EQ(result.status, 1) << c.blocker;
      EXPECT_EQ(result.err, c.error) << c.blocker;
      EXPECT_EQ(std::filesystem::exists(wiringFile), hadWiring) << c.blocker;
      if (hadWiring) {
        EXPECT_EQ(dir_.read("enigma_config.ef"), wiring) << c.blocker;
      }
    } else {
      EXPECT_EQ(result.status, 0) << result.err;
      EXPECT_TRUE(std::filesystem::is_symlink(blocker));
      EXPECT_NE(dir_.read("init.saved"), saved);
    }
    std::filesystem::remove(blocker);
  }
}

// An output that is a key file, by its name or by another, is refused before anything
// is written, and the key stays whole.
TEST_F(CommandLineTest, NoOutputOverwritesAKeyFile) {
  ASSERT_EQ(run({"keygen"}).status, 0);
  dir_.write("t.txt", "Meet me at the old mill");
  ASSERT_EQ(run({"encrypt", "t.txt", "-o", "t.code"}).status, 0);
  std::filesystem::create_directory(dir_ / "sub");
  std::filesystem::create_hard_link(dir_ / "enigma_init.ef", dir_ / "alias");
  const std::string wiring = dir_.read("enigma_config.ef");
  const std::string start = dir_.read("enigma_init.ef");
  const std::string init = "enigma_init.ef";
  const std::string config = "enigma_config.ef";
  const std::pair<std::vector<std::string>, std::string> cases[] = {
      {{"encrypt", "t.txt", "-o", init}, init + " is the key file " + init},
      {{"encrypt", "-s", ".", "t.txt", "-o", "sub/../" + config},
       "sub/../" + config + " is the key file ./" + config},
      {{"encrypt", "t.txt", "-o", "alias"}, "alias is the key file " + init},
      {{"decrypt", "t.code", "-o", config}, config + " is the key file " + config},
      {{"attack", "t.code", "-o", config, "--force"}, config + " is the key file " + config},
  };
  for (const auto& [arguments, named] : cases) {
    const auto result = run(arguments);
    EXPECT_EQ(result.status, 1) << named;
    EXPECT_EQ(result.err, "rotorwerk: " + named + "; it is not overwritten\n");
    EXPECT_EQ(dir_.read("enigma_config.ef"), wiring) << named;
    EXPECT_EQ(dir_.read("enigma_init.ef"), start) << named;
  }
  // The attack's output is a start file: the folder's own may be replaced.
  EXPECT_EQ(run({"attack", "t.code", "-o", init, "--force", "--time-limit", "1"})
                .err.find("is the key file"),
            std::string::npos);
}

// A key file that is a FIFO or a device is refused at once: nothing waits for a writer.
TEST_F(CommandLineTest, KeyFilesThatAreNoRegularFilesAreRefusedAtOnce) {
  SKIP_ON_WINDOWS_BUILD("FIFOs are POSIX's");
  ASSERT_EQ(run({"keygen"}).status, 0);
  for (const std::string name : {"enigma_config.ef", "enigma_init.ef"}) {
    const std::string saved = dir_.read(name);
    std::filesystem::remove(dir_ / name);
    ASSERT_EQ(mkfifo((dir_ / name).c_str(), 0600), 0);
    // Run under a time limit, so that a hang fails the test instead of stopping it.
    const auto result = test::runProgram(
        dir_.path(), "",
        {.locale = "C.UTF-8", .command = {"timeout", "20"}, .arguments = {"check"}});
    EXPECT_EQ(result.status, 1) << name;
    EXPECT_EQ(result.err, "rotorwerk: " + name + " is not a regular file\n");
    std::filesystem::remove(dir_ / name);
    dir_.write(name, saved);
  }
}

TEST_F(CommandLineTest, OfTwoKeygensAtOnceExactlyOneWritesBothFiles) {
  // Rounds 0 to 7 make a new key; in later ones --force replaces an old one, alone or
  // beside a run without it: the key left is always one run's whole key.
  for (int round = 0; round < 16; ++round) {
    test::ScratchDir dir;
    const bool replacing = round >= 8;
    if (replacing) {
      ASSERT_EQ(
          test::runProgram(dir.path(), "", {.arguments = {"keygen", "-r", "5", "-p", "7"}}).status,
          0);
    }
    test::RunOptions small{.locale = "C.UTF-8",
                           .arguments = {"keygen", "-s", ".", "--rotors", "3", "--plugs", "2"}};
    test::RunOptions large{.locale = "C.UTF-8",
                           .arguments = {"keygen", "--rotors", "9", "--plugs", "12"}};
    if (replacing) large.arguments.push_back("--force");
    if (replacing && round < 12) small.arguments.push_back("--force");
    test::RunningProgram first(dir.path(), "", small);
    test::RunningProgram second(dir.path(), "", large);
    const int statuses = first.wait().status + second.wait().status;
    // One run fails where the names are taken without --force: by the other run, or by
    // the old key.
    EXPECT_EQ(statuses, replacing && round < 12 ? 0 : 1) << "round " << round;
    const RotorMachine machine = test::loadMachine(dir.path());
    EXPECT_EQ(machine.rotorCount == 3 ? 4 : 24, test::pluggedLetters(machine)) << "round " << round;
  }
}

TEST_F(CommandLineTest, TraceShowsTheLettersEncryptWrites) {
  test::writeSettings(dir_, test::randomSettings(7, {0, 13, 25}));
  const std::string text = "Trace me, Mr. Rotor: 26 letters and more than that!\n";
  dir_.write("text.txt", text);
  const auto code = run({"encrypt", "text.txt", "-o", "-"});
  const auto trace = run({"trace", "text.txt", "-n", "1000", "-t", "RW-26001B", "--format", "tsv"});
  ASSERT_EQ(trace.status, 0) << trace.err;
  // The last column, row by row after the header, is the body's letters, then the check
  // letters.
  std::string traced;
  std::istringstream rows(trace.out);
  std::string row;
  std::getline(rows, row);
  EXPECT_EQ(row.substr(0, 13), "n\tleft\tmiddle");
  while (std::getline(rows, row)) traced += row.substr(row.rfind('\t') + 1);
  std::string written;
  for (const char c : test::asShown(code.out).substr(7)) {
    if (std::isalpha(static_cast<unsigned char>(c)) != 0) written += c;
  }
  // The code type's letters (R, W, B) stand between the body and the check letters.
  EXPECT_EQ(traced, written.substr(0, written.size() - 6) + written.substr(written.size() - 3));
  const auto table = run({"trace", "-", "-n", "2"}, text);
  EXPECT_EQ(std::count(table.out.begin(), table.out.end(), '\n'), 5) << table.out;
  // The check letters follow the whole text, however few rows are shown.
  const auto few = run({"trace", "text.txt", "-n", "2", "-t", "RW-26001B", "--format", "tsv"});
  std::string checks;
  std::istringstream fewRows(few.out);
  while (std::getline(fewRows, row)) {
    if (row[0] == 'c') checks += row.substr(row.rfind('\t') + 1);
  }
  EXPECT_EQ(checks, written.substr(written.size() - 3));
  // Every stage in its column, worked by hand: straight rotors, the reflector pairing
  // neighbours, a plugged to q, positions 3 7 1.
  test::writeSettings(dir_, test::straightSettings(3, 7, 0, "1 aq"));
  const auto pinned = run({"trace", "-", "--format", "tsv"}, "a");
  EXPECT_EQ(pinned.out.substr(pinned.out.find('\n') + 1),
            "1\t3\t7\t1\ta\tq\tr\ty\tb\ta\tx\tq\tp\tp\tp\n");
  // The aligned table's columns line up in display cells, in Chinese too.
  // (Windows takes its UI language, not the locale, and writes GBK.)
  for (const std::string locale : test::windowsBuild()
                                      ? std::vector<std::string>{"C.UTF-8"}
                                      : std::vector<std::string>{"C.UTF-8", "zh_CN.UTF-8"}) {
    const auto aligned =
        test::runProgram(dir_.path(), "Ab", {.locale = locale, .arguments = {"trace", "-"}});
    std::vector<std::size_t> widths;
    std::istringstream lines(aligned.out);
    for (std::string line; std::getline(lines, line);) {
      std::size_t cells = 0;
      for (const char c : line) {
        const auto byte = static_cast<unsigned char>(c);
        cells += byte < 0x80 ? 1 : byte >= 0xE0 ? 2 : 0;
      }
      widths.push_back(cells);
    }
    ASSERT_GE(widths.size(), 3U) << aligned.out;
    // The header and both rows: the title's lines above them are prose.
    EXPECT_EQ(widths[widths.size() - 3], widths.back()) << locale << "\n" << aligned.out;
    EXPECT_EQ(widths[widths.size() - 2], widths.back()) << locale;
  }
}

TEST_F(CommandLineTest, AttackFindsTheStartFileOfALetterFromItsWiring) {
  // The sample's reflector and first three rotors.
  dir_.write("enigma_config.ef",
             "jlgkywcrmadbipvnxhtszofqeu 3 wgbzodnfaepxsrhvjtkcuqmyli "
             "lekfhorgbswcuzjavyixmptqnd hoclsfbzakedngtyqujmxirwpv\n");
  const std::string start = "5\nbw dx ej mu qr\n3 1 2\n11 4 20\n";
  dir_.write("enigma_init.ef", start);
  dir_.write("letter.txt",
             "Dear Ada,\nThe mill by the river is quiet again. Last week the miller sold his "
             "old grinding stones and bought a steam engine, which the village now hears from "
             "dawn until dusk. Your brother says the engine will pay for itself before the "
             "winter, but I doubt it. Meet me at the bridge on Sunday after church, and bring "
             "the letters we spoke of. Nobody else should read them until we have decided what "
             "to do with the house and the orchard behind it.\nCharles\n");
  ASSERT_EQ(run({"encrypt", "letter.txt", "-q"}).status, 0);
  test::ScratchDir wiringOnly;
  std::filesystem::copy(dir_ / "enigma_config.ef", wiringOnly / "enigma_config.ef");
  const auto found = run({"attack", "enigma_code.txt", "-s", wiringOnly.path().string(),
                          "--threads", "2", "--time-limit", "600", "-o", "found.ef"});
  EXPECT_EQ(found.status, 0) << found.err;
  EXPECT_NE(found.err.find("first line: Dear Ada,\n"), std::string::npos) << found.err;
  EXPECT_NE(found.err.find("the check letters verify\n"), std::string::npos) << found.err;
  const RotorMachine expected = test::loadMachine(dir_.path());
  std::filesystem::rename(dir_ / "found.ef", wiringOnly / "enigma_init.ef");
  const RotorMachine recovered = test::loadMachine(wiringOnly.path());
  EXPECT_EQ(recovered.slotRotors, expected.slotRotors);
  EXPECT_EQ(recovered.startOffsets, expected.startOffsets);
  EXPECT_EQ(recovered.plugboard, expected.plugboard);
  // A short text under a wiring that did not encipher it: whatever key verifies its
  // check letters by chance is no key, and nothing is written.
  dir_.write("short.txt", "Meet me at the bridge on Sunday after church, and bring the letters.");
  ASSERT_EQ(run({"encrypt", "short.txt", "-o", "short.code", "-q"}).status, 0);
  test::writeSettings(wiringOnly, test::randomSettings(5, {0}));
  const auto wrong = run({"attack", "short.code", "-s", wiringOnly.path().string(), "--time-limit",
                          "5", "-o", "wrong.ef"});
  EXPECT_EQ(wrong.status, 1) << wrong.err;
  EXPECT_FALSE(std::filesystem::exists(dir_ / "wrong.ef"));
}

// Texts too short alone, under ten plug pairs, which the letters' counts without plugs
// do not see through: four under one start file, and one whose words are partly known,
// at a known place and anywhere.
TEST_F(CommandLineTest, AttackBreaksMessagesInDepthAndWithACrib) {
  test::ScratchDir wiringOnly;
  wiringOnly.write("enigma_config.ef",
                   "jlgkywcrmadbipvnxhtszofqeu 3 wgbzodnfaepxsrhvjtkcuqmyli "
                   "lekfhorgbswcuzjavyixmptqnd hoclsfbzakedngtyqujmxirwpv\n");
  dir_.write("enigma_config.ef", wiringOnly.read("enigma_config.ef"));
  const std::string start = "10\naf bw dx ej gk hl mu no ps qr\n3 1 2\n11 4 20\n";
  dir_.write("enigma_init.ef", start);
  const std::vector<std::string> texts = {
      "Dear Ada, the mill by the river is quiet again.\nLast week the miller sold his old "
      "stones.\n",
      "Your brother says the engine will pay for itself before the winter, but I doubt it.\n",
      "Meet me at the bridge on Sunday after church and bring the letters we spoke of.\n",
      "Nobody else should read them until we have decided what to do with the house.\n",
      "Charles wrote to Ada on Monday: meet me at the old mill by the river at noon today.\n"};
  for (std::size_t k = 0; k < texts.size(); ++k) {
    dir_.write("m" + std::to_string(k) + ".txt", texts[k]);
    ASSERT_EQ(run({"encrypt", "m" + std::to_string(k) + ".txt", "-o",
                   "m" + std::to_string(k) + ".code", "-q"})
                  .status,
              0);
  }
  const std::string settings = wiringOnly.path().string();
  for (const std::vector<std::string>& arguments :
       {std::vector<std::string>{"attack", "m0.code", "m1.code", "m2.code", "m3.code"},
        {"attack", "m4.code", "--crib", "Meet me at the old mill@26"},
        {"attack", "m4.code", "--crib", "meet me at the old mill"}}) {
    std::vector<std::string> words = arguments;
    words.insert(words.end(), {"-s", settings, "--time-limit", "600"});
    const auto found = run(words);
    EXPECT_EQ(found.status, 0) << arguments[2] << "\n" << found.err;
    EXPECT_EQ(test::asShown(found.out), start) << arguments[2];
  }
  // Files of two languages are not one key's messages.
  ASSERT_EQ(run({"encrypt", "m0.txt", "-l", "zh", "-o", "zh.code", "-q"}).status, 0);
  EXPECT_EQ(run({"attack", "m0.code", "zh.code", "-s", settings}).status, 1);
}

// Under the system's limits the attack ends as it should, never in an abort: where no
// thread can start it searches on the calling one, and memory it cannot have is told.
TEST_F(CommandLineTest, AttackUnderResourceLimitsSearchesOnOrSaysWhy) {
  SKIP_ON_WINDOWS_BUILD("prlimit limits a POSIX process");
  if (const char* launcher = std::getenv("ROTORWERK_LAUNCHER"); launcher != nullptr && *launcher) {
    GTEST_SKIP() << "an emulator needs threads and memory of its own beyond the limits";
  }
  std::filesystem::copy(std::filesystem::path(ROTORWERK_EXAMPLES) / "enigma_config.ef",
                        dir_.path());
  const std::string start = "4\ndx kw mu qr\n2 5 4\n7 19 3\n";
  dir_.write("enigma_init.ef", start);
  dir_.write("letter.txt",
             "Dear Ada, the mill by the river is quiet again. Last week the miller sold his old "
             "grinding stones and bought a steam engine, which the village now hears from dawn "
             "until dusk. Your brother says the engine will pay for itself before the winter.\n");
  ASSERT_EQ(run({"encrypt", "letter.txt", "-o", "letter.code", "-q"}).status, 0);
  std::filesystem::create_directory(dir_ / "wiring");
  std::filesystem::copy(dir_ / "enigma_config.ef", dir_ / "wiring");
  // Root may start threads beyond any limit: the search runs as nobody then.
  std::vector<std::string> asUser;
  if (geteuid() == 0) {
    asUser = {"setpriv", "--reuid=65534", "--regid=65534", "--clear-groups", "--"};
    ASSERT_EQ(chmod(dir_.path().c_str(), 0777), 0);
  }
  const auto limited = [&](const std::string& limit, const std::string& threads) {
    test::RunOptions options{.locale = "C.UTF-8", .command = asUser};
#if defined(__SANITIZE_ADDRESS__)
    // LeakSanitizer needs a thread of its own at exit, which the thread limit forbids.
    const char* sanitizer = std::getenv("ASAN_OPTIONS");
    options.command.insert(
        options.command.end(),
        {"env", std::string("ASAN_OPTIONS=") + (sanitizer != nullptr ? sanitizer : "") +
                    ":detect_leaks=0"});
#endif
    options.command.insert(options.command.end(), {"prlimit", limit, "--"});
    options.arguments = {"attack",    "letter.code", "-s",           "wiring",
                         "--threads", threads,       "--time-limit", "60"};
    return test::runProgram(dir_.path(), "", options);
  };
  for (const std::string threads : {"1", "2"}) {
    const auto found = limited("--nproc=1", threads);
    EXPECT_EQ(found.status, 0) << threads << "\n" << found.err;
    EXPECT_EQ(test::asShown(found.out), start) << threads;
  }
#if !defined(__SANITIZE_ADDRESS__)
  // AddressSanitizer's shadow memory alone is more than this.
  const auto starved = limited("--as=20480000", "2");
  EXPECT_EQ(starved.status, 1) << starved.err;
  EXPECT_NE(starved.err.find("rotorwerk: not enough memory for the attack: it stopped without a "
                             "key\n"),
            std::string::npos)
      << starved.err;
  EXPECT_EQ(starved.out, "");
#endif
}

TEST_F(CommandLineTest, CheckNamesAFaultAndWarnsOnSurprises) {
  test::writeSettings(dir_, test::straightSettings(1, 2, 26, "2 aa qr"));
  const auto result = run({"check"});
  EXPECT_EQ(result.status, 0);
  EXPECT_EQ(result.out,
            "rotors: 3\nslots (left middle right): 1 2 3\nplug pairs: qr\n"
            "offsets (left middle right): 1 2 26\n");
  EXPECT_EQ(result.err,
            "rotorwerk: warning: the right offset is outside 0 to 25, so its check letter always "
            "fails\nrotorwerk: warning: a plug pair joins a with itself\n"
            "rotorwerk: the settings are sound\n");
  dir_.write("enigma_init.ef", "0 1 2 3x 7 19 3");
  const auto fault = run({"check"});
  EXPECT_EQ(fault.status, 1);
  EXPECT_EQ(fault.err, "rotorwerk: faulty settings in enigma_init.ef: the right rotor\n");
}

}  // namespace
}  // namespace rotorwerk
