// Writing a key under failure: every system call of a commit is made to fail, or the
// process to die, in turn, and the directory must hold the old key or the new one.
#include <fcntl.h>
#include <gtest/gtest.h>
#include <sys/file.h>
#include <sys/wait.h>
#include <unistd.h>

#include <cerrno>
#include <chrono>
#include <cstdio>
#include <set>

#include "api/settings_files.h"
#include "console/analysis_jobs.h"
#include "console/command_jobs.h"
#include "failing_operations.h"
#include "platform/file_operations.h"
#include "rotorwerk/rotorwerk.h"
#include "test_support.h"

namespace rotorwerk {
namespace {

using test::FailingOperations;

class KeyCommitTest : public ::testing::Test {
 protected:
  void SetUp() override {
    // The old key: 3 rotors and 2 plug pairs; a new one has 9 and 12, so that a key
    // made of one file of each shows.
    ASSERT_EQ(keygen(3, 2), 0);
    oldKey_ = key();
  }
  void TearDown() override { useFileOperations(nullptr); }

  // keygen in this process, writing into the scratch directory, or into `settings` as
  // the working directory sees it.
  int keygen(int rotors, int plugs, bool force = false, const std::string* settings = nullptr) {
    JobOptions options;
    options.settings = settings != nullptr ? *settings : dir_.path().string();
    options.rotors = rotors;
    options.plugs = plugs;
    options.force = force;
    std::FILE* out = std::tmpfile();
    std::FILE* err = std::tmpfile();
    Console console(out, err, true, false, false);
    const int status = keygenJob(options, console);
    std::rewind(err);
    char text[512] = {};
    message_ = std::string(text, std::fread(text, 1, sizeof text - 1, err));
    std::fclose(out);
    std::fclose(err);
    return status;
  }
  std::string key() const { return dir_.read("enigma_config.ef") + dir_.read("enigma_init.ef"); }
  // What a command that reads the directory finds, naming it as `directory`.
  std::pair<std::size_t, std::size_t> rotorsAndPairs(const std::string* directory = nullptr) const {
    const auto settings = loadSettings(directory != nullptr ? *directory : dir_.path().string());
    EXPECT_TRUE(settings) << (settings ? "" : settings.fault().reason);
    if (!settings) return {};
    return {settings->wiring.rotors.size(), settings->start.plugs.size()};
  }
  // Names in the directory besides the key, which no finished commit may leave.
  std::set<std::string> leftovers() const {
    std::set<std::string> names;
    for (const auto& entry : std::filesystem::directory_iterator(dir_.path())) {
      const std::string name = entry.path().filename().string();
      if (name != "enigma_config.ef" && name != "enigma_init.ef") names.insert(name);
    }
    return names;
  }

  test::ScratchDir dir_;
  std::string oldKey_;
  std::string message_;
  FailingOperations operations_;
};

TEST_F(KeyCommitTest, AFailureAtAnyStepLeavesTheOldKeyAndNamesTheStep) {
  // A commit that succeeds, counting its calls.
  useFileOperations(&operations_);
  ASSERT_EQ(keygen(9, 12, true), 0);
  const int calls = operations_.calls;
  ASSERT_GE(calls, 8);  // lock, 2 writes, 2 syncs, journal, 2 backups, 2 places, ...
  int failures = 0;
  for (int at = 1; at <= calls; ++at) {
    for (const bool later : {false, true}) {
      useFileOperations(nullptr);
      std::filesystem::remove_all(dir_.path());
      std::filesystem::create_directory(dir_.path());
      ASSERT_EQ(keygen(3, 2), 0);
      oldKey_ = key();
      operations_ = FailingOperations();
      operations_.failAt = at;
      operations_.failLater = later;
      useFileOperations(&operations_);
      const int status = keygen(9, 12, true);
      useFileOperations(nullptr);
      if (status != 0) {
        ++failures;
        EXPECT_EQ(message_.rfind("rotorwerk: cannot write ", 0), 0U) << at << ": " << message_;
        // A rollback that failed too leaves its journal: the next reader finishes it.
        EXPECT_EQ(rotorsAndPairs(), (std::pair<std::size_t, std::size_t>{3, 2})) << at;
        EXPECT_EQ(key(), oldKey_) << "call " << at << (later ? " and after" : "");
      } else {
        // Only the last calls, after the key is in place, may fail unseen: syncing the
        // directory once more and removing the old files' backups.
        EXPECT_EQ(rotorsAndPairs(), (std::pair<std::size_t, std::size_t>{9, 12})) << at;
      }
      // A disk gone for good may keep temporaries, which the next writer clears.
      for (const std::string& name : later ? std::set<std::string>{} : leftovers()) {
        EXPECT_EQ(name.back(), '~') << "call " << at << " left " << name;
      }
    }
  }
  EXPECT_EQ(failures, 2 * (calls - 3));
}

TEST_F(KeyCommitTest, ACrashAtAnyStepIsUndoneByTheNextReaderWhereverEachStarted) {
  useFileOperations(&operations_);
  ASSERT_EQ(keygen(9, 12, true), 0);
  const int calls = operations_.calls;
  useFileOperations(nullptr);
  // The writer names the directory from its parent and the reader from inside it, or
  // the other way round: the journal must mean the same files to both.
  const std::string fromParent = dir_.path().filename().string();
  const std::string fromInside;
  for (int at = 1; at <= calls; ++at) {
    const bool writerInParent = at % 2 == 1;
    std::filesystem::remove_all(dir_.path());
    std::filesystem::create_directory(dir_.path());
    ASSERT_EQ(keygen(3, 2), 0);
    oldKey_ = key();
    const pid_t child = fork();
    ASSERT_GE(child, 0);
    if (child == 0) {
      const test::WorkingDirectory there(writerInParent ? dir_.path().parent_path() : dir_.path());
      operations_ = FailingOperations();
      operations_.failAt = at;
      operations_.crash = true;
      useFileOperations(&operations_);
      _exit(keygen(9, 12, true, writerInParent ? &fromParent : &fromInside) == 0 ? 3 : 4);
    }
    int status = 0;
    ASSERT_EQ(waitpid(child, &status, 0), child);
    ASSERT_EQ(WEXITSTATUS(status), 0) << "the crash did not come at call " << at;
    std::pair<std::size_t, std::size_t> found;
    {
      const test::WorkingDirectory here(writerInParent ? dir_.path() : dir_.path().parent_path());
      found = rotorsAndPairs(writerInParent ? &fromInside : &fromParent);
    }
    // Before the journal is gone the old key stands; after, the whole new one.
    if (found.first == 3) {
      EXPECT_EQ(key(), oldKey_) << "crash at call " << at;
    } else {
      EXPECT_EQ(found, (std::pair<std::size_t, std::size_t>{9, 12})) << "crash at call " << at;
    }
    EXPECT_EQ(leftovers().count(".enigma_commit"), 0U) << "crash at call " << at;
    // The next writer clears what the crash left.
    ASSERT_EQ(keygen(9, 12, true), 0);
    EXPECT_EQ(leftovers(), std::set<std::string>{}) << "crash at call " << at;
  }
}

TEST_F(KeyCommitTest, EachFileIsWrittenSyncedAndRenamedInOrderAfterTheJournal) {
  const std::vector<std::string> journal = {
      "create .enigma_commit", "write .enigma_commit", "sync .enigma_commit",
      "rename ..enigma_commit.XXXXXX .enigma_commit replacing", "syncDirectory"};
  const auto expected = [&](bool force) {
    const std::string mode = force ? " replacing" : " not replacing";
    std::vector<std::string> calls = {"lock exclusive",        "create enigma_config.ef",
                                      "create enigma_init.ef", "write enigma_config.ef",
                                      "write enigma_init.ef",  "sync enigma_config.ef",
                                      "sync enigma_init.ef"};
    calls.insert(calls.end(), journal.begin(), journal.end());
    if (force) {
      calls.push_back("rename enigma_config.ef .enigma_config.ef.XXXXXX~ replacing");
      calls.push_back("rename enigma_init.ef .enigma_init.ef.XXXXXX~ replacing");
    }
    calls.push_back("rename .enigma_config.ef.XXXXXX enigma_config.ef" + mode);
    calls.push_back("rename .enigma_init.ef.XXXXXX enigma_init.ef" + mode);
    calls.push_back("remove .enigma_commit");
    calls.push_back("syncDirectory");
    if (force) {
      calls.push_back("remove .enigma_config.ef.XXXXXX~");
      calls.push_back("remove .enigma_init.ef.XXXXXX~");
    }
    return calls;
  };
  for (const bool force : {false, true}) {
    if (!force) {
      std::filesystem::remove(dir_ / "enigma_config.ef");
      std::filesystem::remove(dir_ / "enigma_init.ef");
    }
    operations_ = FailingOperations();
    useFileOperations(&operations_);
    ASSERT_EQ(keygen(9, 12, force), 0) << message_;
    useFileOperations(nullptr);
    EXPECT_EQ(operations_.record, expected(force)) << (force ? "--force" : "a new key");
  }
}

TEST(FileOperations, ARenameThatMayNotReplaceLeavesATakenNameAsItWas) {
  test::ScratchDir dir;
  dir.write("from", "new");
  dir.write("to", "old");
  FileOperations system;
  errno = 0;
  EXPECT_FALSE(system.rename((dir / "from").string(), (dir / "to").string(), false));
  EXPECT_EQ(errno, EEXIST);
  EXPECT_EQ(dir.read("to"), "old");
  EXPECT_EQ(dir.read("from"), "new");
  EXPECT_TRUE(system.rename((dir / "from").string(), (dir / "to").string(), true));
  EXPECT_EQ(dir.read("to"), "new");
}

TEST_F(KeyCommitTest, AReaderThatWaitedForTheLockUndoesTheCommitItWaitedFor) {
  // The reader looks while the writer holds the lock but has no journal yet; the writer
  // then dies after putting its files in place, before its journal goes.
  int pipe[2];
  ASSERT_EQ(::pipe(pipe), 0);
  const pid_t child = fork();
  ASSERT_GE(child, 0);
  if (child == 0) {
    operations_ = FailingOperations();
    operations_.signalAt = 2;  // the first temporary file, just after the lock
    operations_.signalFd = pipe[1];
    operations_.failAt = 17;  // removing the journal
    operations_.crash = true;
    useFileOperations(&operations_);
    _exit(keygen(9, 12, true) == 0 ? 3 : 4);
  }
  char byte = 0;
  ASSERT_EQ(read(pipe[0], &byte, 1), 1);
  const auto found = rotorsAndPairs();
  int status = 0;
  ASSERT_EQ(waitpid(child, &status, 0), child);
  ASSERT_EQ(WEXITSTATUS(status), 0) << "the writer did not die where it was meant to";
  EXPECT_EQ(found, (std::pair<std::size_t, std::size_t>{3, 2}));
  EXPECT_EQ(key(), oldKey_);
  EXPECT_EQ(leftovers().count(".enigma_commit"), 0U);
  close(pipe[0]);
  close(pipe[1]);
}

TEST_F(KeyCommitTest, ALockHeldPastTheWaitIsReportedNotWaitedForForEver) {
  // Anyone who may read the folder may lock it.
  const int holder = open(dir_.path().c_str(), O_RDONLY | O_DIRECTORY);
  ASSERT_GE(holder, 0);
  ASSERT_EQ(flock(holder, LOCK_EX), 0);
  operations_.lockWait = std::chrono::milliseconds(200);
  useFileOperations(&operations_);
  const auto read = loadSettings(dir_.path().string());
  const int status = keygen(9, 12, true);
  useFileOperations(nullptr);
  close(holder);
  ASSERT_FALSE(read);
  EXPECT_EQ(read.fault().kind, FaultKind::kLocked);
  EXPECT_EQ(api::describe(read.fault()),
            "the settings folder " + dir_.path().string() +
                " is locked by another process, and still was after a wait of 1 s; try again "
                "when that process is done");
  EXPECT_EQ(status, 1);
  EXPECT_EQ(message_.rfind("rotorwerk: the settings folder ", 0), 0U) << message_;
  EXPECT_EQ(key(), oldKey_);
}

// The key an attack found is printed when its file cannot take its place.
TEST(AttackOutput, AKeyThatCannotBeWrittenIsPrinted) {
  test::ScratchDir dir;
  dir.write("enigma_config.ef",
            "jlgkywcrmadbipvnxhtszofqeu 3 wgbzodnfaepxsrhvjtkcuqmyli "
            "lekfhorgbswcuzjavyixmptqnd hoclsfbzakedngtyqujmxirwpv\n");
  const std::string start = "5\nbw dx ej mu qr\n3 1 2\n11 4 20\n";
  dir.write("enigma_init.ef", start);
  dir.write("c.txt", "Charles wrote to Ada on Monday: meet me at the old mill by the river.\n");
  JobOptions options;
  options.settings = dir.path().string();
  options.file = (dir / "c.txt").string();
  options.output = (dir / "c.code").string();
  options.quiet = true;
  std::FILE* out = std::tmpfile();
  std::FILE* err = std::tmpfile();
  Console console(out, err, true, false, false);
  ASSERT_EQ(encryptJob(options, console), 0);
  options.file = options.output;
  options.output = (dir / "found.ef").string();
  options.crib = "meet me at the old mill@26";
  options.threads = 1;
  FailingOperations operations;
  operations.failAt = 1;  // the rename that puts the start file in place
  operations.only = "rename";
  useFileOperations(&operations);
  const int status = attackJob(options, console);
  useFileOperations(nullptr);
  EXPECT_EQ(status, 1);
  std::rewind(out);
  std::string printed(4096, '\0');
  printed.resize(std::fread(printed.data(), 1, printed.size(), out));
  EXPECT_EQ(printed, start);
  EXPECT_FALSE(std::filesystem::exists(dir / "found.ef"));
  std::fclose(out);
  std::fclose(err);
}

}  // namespace
}  // namespace rotorwerk
