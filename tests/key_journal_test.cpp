// Journals a reader must not believe: each is left as it is, with every file inside its
// folder and outside it, and the reader is told which journal is at fault and why.
#include <fcntl.h>
#include <gtest/gtest.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cerrno>
#include <map>

#include "api/settings_files.h"
#include "failing_operations.h"
#include "platform/key_journal.h"
#include "platform/replacement_file.h"
#include "rotorwerk/rotorwerk.h"
#include "test_support.h"

namespace rotorwerk {
namespace {

// Another user, for the journals and files such a user would plant (as root only).
constexpr uid_t kStranger = 4242;

// A journal of one entry, each field as given.
std::string journalOf(const std::string& target, const std::string& temporary,
                      const std::string& backup, const std::string& existed = "1") {
  std::string text = "rotorwerk commit 1\n";
  for (const std::string& field : {target, temporary, backup, existed}) {
    text += field;
    text += '\0';
  }
  return text;
}

// Every file below `root`, with its bytes.
std::map<std::string, std::string> filesBelow(const std::filesystem::path& root) {
  std::map<std::string, std::string> files;
  for (const auto& entry : std::filesystem::recursive_directory_iterator(root)) {
    if (entry.is_symlink()) {
      files[entry.path().string()] = "-> " + std::filesystem::read_symlink(entry).string();
    } else if (entry.is_regular_file()) {
      files[entry.path().string()] = test::readFile(entry.path());
    }
  }
  return files;
}

class KeyJournalTest : public ::testing::Test {
 protected:
  void SetUp() override {
    for (const char* folder : {"keys", "outside", "elsewhere"}) {
      std::filesystem::create_directory(dir_ / folder);
    }
    test::SettingsText settings = test::randomSettings(7, {1, 2, 3});
    test::writeFile(keys() / "enigma_config.ef", settings.wiring);
    test::writeFile(keys() / "enigma_init.ef", settings.start);
    test::writeFile(keys() / ".enigma_init.ef.AAAAAA~", oldStart_);
    test::writeFile(dir_ / "outside" / "victim", "not the tool's\n");
    test::writeFile(dir_ / "outside" / "enigma_init.ef", "another key's start file\n");
  }
  std::filesystem::path keys() const { return dir_ / "keys"; }
  std::filesystem::path journal() const { return keys() / ".enigma_commit"; }

  test::ScratchDir dir_;
  // The start file a change cut short moved aside, as its backup.
  const std::string oldStart_ = test::randomSettings(7, {4, 5, 6}).start;
};

TEST_F(KeyJournalTest, AJournalThatCannotBeBelievedChangesNothingAndIsNamed) {
  const bool root = geteuid() == 0;
  const std::string outside = (dir_ / "outside" / "victim").string();
  struct Case {
    std::string what;
    std::string bytes;  // the journal's text
    JournalProblem problem;
    bool needsRoot = false;
  };
  const std::vector<Case> cases = {
      {"names relative to the writer's folder",
       journalOf("keys/enigma_init.ef", "keys/.enigma_init.ef.AAAAAA",
                 "keys/.enigma_init.ef.AAAAAA~"),
       JournalProblem::kOutside},
      {"an absolute name",
       journalOf(outside, "." + outside + ".AAAAAA", "." + outside + ".AAAAAA~"),
       JournalProblem::kOutside},
      {"a name with ..",
       journalOf("../outside/victim", "../outside/.victim.AAAAAA", "../outside/.victim.AAAAAA~"),
       JournalProblem::kOutside},
      {"a backup that is another file's",
       journalOf("enigma_init.ef", ".enigma_init.ef.AAAAAA", ".enigma_config.ef.AAAAAA~"),
       JournalProblem::kOutside},
      {"a temporary name of another file",
       journalOf("enigma_init.ef", ".victim.AAAAAA", ".victim.AAAAAA~"), JournalProblem::kOutside},
      {"junk after its header", "rotorwerk commit 1\n\x80", JournalProblem::kDamaged},
      {"an empty file", "", JournalProblem::kDamaged},
      {"its header alone", "rotorwerk commit 1\n", JournalProblem::kDamaged},
      {"one file twice",
       journalOf("enigma_init.ef", ".enigma_init.ef.AAAAAA", ".enigma_init.ef.AAAAAA~") +
           journalOf("enigma_init.ef", ".enigma_init.ef.BBBBBB", ".enigma_init.ef.BBBBBB~")
               .substr(19),
       JournalProblem::kDamaged},
      {"too large", "rotorwerk commit 1\n" + std::string(kJournalLimit, 'x'),
       JournalProblem::kTooLarge},
      {"group-writable",
       journalOf("enigma_init.ef", ".enigma_init.ef.AAAAAA", ".enigma_init.ef.AAAAAA~"),
       JournalProblem::kWritable},
      {"another user's",
       journalOf("enigma_init.ef", ".enigma_init.ef.AAAAAA", ".enigma_init.ef.AAAAAA~"),
       JournalProblem::kOwner, true},
      {"a backup another user planted",
       journalOf("enigma_init.ef", ".enigma_init.ef.AAAAAA", ".enigma_init.ef.AAAAAA~"),
       JournalProblem::kForeign, true},
      {"an old file that is gone", journalOf("gone.ef", ".gone.ef.AAAAAA", ".gone.ef.AAAAAA~"),
       JournalProblem::kMissing},
      {"a link to a journal", "", JournalProblem::kNotRegular},
      {"a FIFO", "", JournalProblem::kNotRegular},
  };
  for (const Case& c : cases) {
    if (c.needsRoot && !root) continue;  // only the administrator can plant these
    std::filesystem::remove(journal());
    if (c.what == "a link to a journal") {
      test::writeFile(
          dir_ / "outside" / "journal",
          journalOf("enigma_init.ef", ".enigma_init.ef.AAAAAA", ".enigma_init.ef.AAAAAA~"));
      std::filesystem::create_symlink("../outside/journal", journal());
    } else if (c.what == "a FIFO") {
      ASSERT_EQ(mkfifo(journal().c_str(), 0600), 0);
    } else {
      test::writeFile(journal(), c.bytes);
      chmod(journal().c_str(), c.problem == JournalProblem::kWritable ? 0620 : 0600);
      if (c.problem == JournalProblem::kOwner) ASSERT_EQ(chown(journal().c_str(), kStranger, 0), 0);
    }
    const std::string backup = (keys() / ".enigma_init.ef.AAAAAA~").string();
    ASSERT_EQ(chown(backup.c_str(), c.problem == JournalProblem::kForeign ? kStranger : geteuid(),
                    getegid()),
              0);
    const auto before = filesBelow(dir_.path());
    // A reader and a writer, each started in another folder than the key's.
    const test::WorkingDirectory there(dir_ / "elsewhere");
    const auto read = loadSettings("../keys");
    const auto written = DirectoryLock::forWriting("../keys");
    ASSERT_FALSE(read) << c.what;
    ASSERT_FALSE(written) << c.what;
    for (const Fault& fault : std::vector<Fault>{read.fault(), written.fault()}) {
      EXPECT_EQ(fault.kind, FaultKind::kJournal) << c.what << ": " << api::describe(fault);
      EXPECT_EQ(fault.item, static_cast<int>(c.problem)) << c.what << ": " << api::describe(fault);
      EXPECT_EQ(fault.file, "../keys/.enigma_commit") << c.what;
    }
    EXPECT_EQ(filesBelow(dir_.path()), before) << c.what;
    EXPECT_TRUE(std::filesystem::is_symlink(journal()) || std::filesystem::exists(journal()))
        << c.what;
  }
}

TEST_F(KeyJournalTest, TheMessageNamesTheJournalAndSaysWhatToDo) {
  test::writeFile(journal(), "rotorwerk commit 1\njunk");
  chmod(journal().c_str(), 0600);
  const test::WorkingDirectory there(dir_ / "elsewhere");
  const auto read = loadSettings("../keys");
  ASSERT_FALSE(read);
  EXPECT_EQ(api::describe(read.fault()),
            "the key journal ../keys/.enigma_commit is damaged; nothing was changed. If no key "
            "change is running in that folder, check its key files (old ones may remain there "
            "as hidden files ending in ~), then remove the journal");
  test::writeFile(journal(), journalOf("gone.ef", ".gone.ef.AAAAAA", ".gone.ef.AAAAAA~"));
  const auto again = loadSettings("../keys");
  ASSERT_FALSE(again);
  EXPECT_EQ(api::describe(again.fault()),
            "the key change recorded in ../keys/.enigma_commit cannot be undone: gone.ef, an old "
            "file it would restore, is gone. Restore the key's files (old ones may remain there "
            "as hidden files ending in ~), then remove the journal");
}

TEST_F(KeyJournalTest, AReaderInAFolderItCannotChangeReadsAKeyWithNothingLeftToUndo) {
  // The commit's files are all back in place; only the journal could not be removed.
  test::writeFile(journal(),
                  journalOf("enigma_init.ef", ".enigma_init.ef.BBBBBB", ".enigma_init.ef.BBBBBB~"));
  chmod(journal().c_str(), 0600);
  for (const int error : {EROFS, EIO}) {
    test::FailingOperations operations;
    operations.failEvery("remove", error);
    useFileOperations(&operations);
    const auto read = loadSettings(keys().string());
    const auto written = DirectoryLock::forWriting(keys().string());
    useFileOperations(nullptr);
    // A writer must remove it before it changes the key; a reader may read on.
    EXPECT_EQ(static_cast<bool>(read), error == EROFS) << error;
    EXPECT_FALSE(written) << error;
    EXPECT_TRUE(std::filesystem::exists(journal())) << error;
  }
}

TEST_F(KeyJournalTest, AJournalThatCannotBeReadIsLeftForTheNextReader) {
  const std::string entry =
      journalOf("enigma_init.ef", ".enigma_init.ef.AAAAAA", ".enigma_init.ef.AAAAAA~");
  test::writeFile(journal(), entry);
  chmod(journal().c_str(), 0600);
  const auto before = filesBelow(dir_.path());
  test::FailingOperations operations;
  operations.only = "readJournal";
  operations.failAt = 1;
  useFileOperations(&operations);
  const auto read = loadSettings(keys().string());
  useFileOperations(nullptr);
  ASSERT_FALSE(read);
  EXPECT_EQ(read.fault().item, static_cast<int>(JournalProblem::kUnreadable));
  EXPECT_EQ(filesBelow(dir_.path()), before);
  // The next reader, who can read it, puts the old start file back.
  ASSERT_TRUE(loadSettings(keys().string()));
  EXPECT_EQ(test::readFile(keys() / "enigma_init.ef"), oldStart_);
  EXPECT_FALSE(std::filesystem::exists(journal()));
}

TEST_F(KeyJournalTest, AReaderInAReadOnlyFolderReadsTheOldKeyWhenOnlyTemporariesAreLeft) {
  // A commit cut short before any old file moved: the new files' temporaries stand.
  test::writeFile(journal(),
                  journalOf("enigma_init.ef", ".enigma_init.ef.BBBBBB", ".enigma_init.ef.BBBBBB~"));
  chmod(journal().c_str(), 0600);
  test::writeFile(keys() / ".enigma_init.ef.BBBBBB", "a new start file\n");
  const std::string start = test::readFile(keys() / "enigma_init.ef");
  test::FailingOperations operations;
  operations.failEvery("remove", EROFS);
  useFileOperations(&operations);
  const auto read = loadSettings(keys().string());
  useFileOperations(nullptr);
  ASSERT_TRUE(read) << api::describe(read.fault());
  EXPECT_EQ(test::readFile(keys() / "enigma_init.ef"), start);
  EXPECT_TRUE(std::filesystem::exists(journal()));
}

TEST_F(KeyJournalTest, AWriterLeavesAnotherUsersFilesOfLeftoverNames) {
  if (geteuid() != 0) GTEST_SKIP() << "only the administrator can plant another user's file";
  test::writeFile(keys() / ".enigma_config.ef.QWERTY", "another user's\n");
  ASSERT_EQ(chown((keys() / ".enigma_config.ef.QWERTY").c_str(), kStranger, kStranger), 0);
  test::writeFile(keys() / ".enigma_config.ef.ASDFGH", "a temporary of ours\n");
  ASSERT_TRUE(DirectoryLock::forWriting(keys().string()));
  EXPECT_TRUE(std::filesystem::exists(keys() / ".enigma_config.ef.QWERTY"));
  EXPECT_FALSE(std::filesystem::exists(keys() / ".enigma_config.ef.ASDFGH"));
}

// On POSIX a backslash is a byte of a name: "keys\\" is a folder of its own.
TEST_F(KeyJournalTest, AFolderNameEndingInABackslashIsThatFolder) {
  const std::filesystem::path odd = dir_ / "keys\\";
  std::filesystem::create_directory(odd);
  std::filesystem::copy_file(keys() / "enigma_config.ef", odd / "enigma_config.ef");
  std::filesystem::copy_file(keys() / "enigma_init.ef", odd / "enigma_init.ef");
  // Beside it, files whose names a backslash would join into: the wrong key.
  test::SettingsText other = test::randomSettings(11, {9});
  test::writeFile(dir_ / "keys\\enigma_config.ef", other.wiring);
  test::writeFile(dir_ / "keys\\enigma_init.ef", other.start);
  const auto read = loadSettings(odd.string());
  ASSERT_TRUE(read);
  const auto own = loadSettings(keys().string());
  ASSERT_TRUE(own);
  EXPECT_EQ(read->wiring.rotors.size(), own->wiring.rotors.size());
  EXPECT_EQ(read->start.offsets, own->start.offsets);
}

}  // namespace
}  // namespace rotorwerk
