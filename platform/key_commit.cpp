// Files of a settings directory committed as one. A journal written before the first
// old file is moved aside lets the next reader of the directory undo a commit that a
// crash cut short: the command that made it never said it succeeded, so the old key
// is what its user still expects (as with SQLite's rollback journal). The journal is
// judged before it is believed, and names only files of its folder, which every name
// is resolved against, so that no journal moves a file anywhere else.
#include <algorithm>
#include <cassert>
#include <cerrno>
#include <optional>
#include <vector>

#include "platform/file.h"
#include "platform/file_operations.h"
#include "platform/interrupts.h"
#include "platform/key_journal.h"
#include "platform/replacement_file.h"

namespace rotorwerk {
namespace {

std::string journalOf(const std::string& directory) {
  return joinPath(directory, std::string(kJournalName));
}

Fault stepFault(const std::string& file, FaultStep step) {
  Fault fault = systemFault(FaultKind::kCannotWrite, file);
  fault.step = step;
  return fault;
}

// The plain name of a file of the commit in the lock's directory. A key file that is a
// link may lead to another file of its folder, but not out of it: the journal could not
// name that file, and a key belongs to its folder.
Result<std::string> nameInFolder(const std::string& directory, const std::string& path,
                                 const std::string& target) {
  const std::size_t start = baseNameStart(path);
  const std::string folder = path.substr(0, start);
  std::string name = path.substr(start);
  if (isPlainName(name) &&
      (folder == joinPath(directory, "") ||
       sameFile(folder.empty() ? "." : folder, directory.empty() ? "." : directory))) {
    return name;
  }
  Fault outside{FaultKind::kOutsideFolder, target};
  outside.reason = directory.empty() ? "." : directory;
  return outside;
}

// Which of an entry's files stand in the folder, each judged once.
struct Found {
  bool backup = false;
  bool temporary = false;
  bool target = false;
};

// Every file an undo would move or remove must be the user's own: in a folder others
// may write, a file planted under a backup's name would otherwise become the key. What
// was judged is what is acted on: a name that appears after it is left alone.
Result<std::vector<Found>> judgeFiles(const std::string& directory,
                                      const std::vector<JournalEntry>& entries) {
  FileOperations& operations = fileOperations();
  std::vector<Found> found;
  for (const JournalEntry& entry : entries) {
    Found files;
    for (auto [name, present] :
         {std::pair{&entry.backup, &files.backup}, std::pair{&entry.temporary, &files.temporary},
          std::pair{&entry.target, &files.target}}) {
      const std::string path = joinPath(directory, *name);
      *present = nameTaken(path);
      if (*present && !operations.ownFile(path)) {
        return journalFault(journalOf(directory), JournalProblem::kForeign, *name);
      }
    }
    found.push_back(files);
  }
  return found;
}

// Puts every old file back and removes every new one. The journal goes only when the
// whole old key stands again, so that an undo that fails is tried again by the next
// reader; a reader in a folder it may not change reads the old key with the journal
// left, once nothing else is left to undo.
Result<bool> undo(const std::string& directory, const std::vector<JournalEntry>& entries,
                  bool reading) {
  const auto found = judgeFiles(directory, entries);
  if (!found) return found.fault();
  // An old file that is neither in place nor backed up cannot be restored: acting on
  // the rest would leave a key that is neither the old one nor the new.
  for (std::size_t k = 0; k < entries.size(); ++k) {
    if (entries[k].existed && !(*found)[k].backup && !(*found)[k].target) {
      return journalFault(journalOf(directory), JournalProblem::kMissing, entries[k].target);
    }
  }
  FileOperations& operations = fileOperations();
  std::optional<Fault> failure;
  // Only putting an old file back or taking a new one away changes the key; a
  // temporary file that stays is no part of it.
  bool keyChanged = false;
  const auto failed = [&](const std::string& file) {
    if (!failure) failure = stepFault(file, FaultStep::kUndo);
  };
  for (std::size_t k = 0; k < entries.size(); ++k) {
    const JournalEntry& entry = entries[k];
    const Found& files = (*found)[k];
    const std::string target = joinPath(directory, entry.target);
    if (files.backup) {
      keyChanged = true;
      if (!operations.rename(joinPath(directory, entry.backup), target, true)) failed(target);
    } else if (!entry.existed && files.target) {
      keyChanged = true;
      if (!operations.remove(target)) failed(target);
    }
  }
  if (failure) return *failure;
  for (std::size_t k = 0; k < entries.size(); ++k) {
    const std::string temporary = joinPath(directory, entries[k].temporary);
    if ((*found)[k].temporary && !operations.remove(temporary)) failed(temporary);
  }
  const std::string journal = journalOf(directory);
  if (!failure && operations.remove(journal)) return false;
  // A reader in a folder it may not change reads the old key, which stands whole; the
  // journal waits for a writer.
  if (reading && !keyChanged && (errno == EROFS || errno == EACCES || errno == EPERM)) {
    return true;
  }
  return failure ? *failure : stepFault(journal, FaultStep::kUndo);
}

// A temporary or backup file of a key's file or of the journal: ".NAME.XXXXXX" or
// ".NAME.XXXXXX~".
bool isLeftover(std::string_view name) {
  if (!name.empty() && name.back() == '~') name.remove_suffix(1);
  for (const std::string_view base : {"enigma_config.ef", "enigma_init.ef", ".enigma_commit"}) {
    if (name.size() != base.size() + 8 || name[0] != '.' || name.substr(1, base.size()) != base ||
        name[base.size() + 1] != '.') {
      continue;
    }
    const std::string_view random = name.substr(base.size() + 2);
    return std::all_of(random.begin(), random.end(), [](char c) {
      return (c >= 'a' && c <= 'z') || (c >= 'A' && c <= 'Z') || (c >= '0' && c <= '9');
    });
  }
  return false;
}

// Undoes the commit whose journal stands in the directory; the caller holds the lock.
// A journal that cannot be believed is left, and so is every file it names. True when
// a reader leaves the journal for a writer, the old key standing whole.
Result<bool> finishInterruptedCommit(const std::string& directory, bool reading) {
  const std::string journal = journalOf(directory);
  if (!nameTaken(journal)) return false;
  const auto text = fileOperations().readJournal(journal, kJournalLimit);
  if (!text) {
    if (text.fault().kind == FaultKind::kFileNotFound) return false;
    return text.fault();
  }
  const auto entries = decodeJournal(*text, journal);
  if (!entries) return entries.fault();
  return undo(directory, *entries, reading);
}

// The lock, or the fault of one that another process held past the wait.
Result<std::intptr_t> lockOf(const std::string& directory, bool exclusive) {
  const std::intptr_t handle = fileOperations().lock(directory, exclusive, exclusive);
  if (handle == kLockBusy) {
    Fault busy{FaultKind::kLocked, directory.empty() ? "." : directory};
    busy.number = (fileOperations().lockWait.count() + 999) / 1000;
    return busy;
  }
  return handle;
}

}  // namespace

Result<void> ReplacementFile::commitTogether(const DirectoryLock& lock,
                                             std::initializer_list<ReplacementFile*> files) {
  FileOperations& operations = fileOperations();
  const auto discardAll = [&] {
    for (ReplacementFile* file : files) file->discard();
  };
  for (ReplacementFile* file : files) {
    assert(!file->inPlace_ && !file->temporary_.empty());
    if (auto finished = file->finish(); !finished) {
      discardAll();
      return finished;
    }
  }
  const std::string& directory = lock.directory();
  std::vector<JournalEntry> entries;
  for (const ReplacementFile* file : files) {
    auto name = nameInFolder(directory, file->path_, file->target_);
    if (!name) {
      discardAll();
      return name.fault();
    }
    const std::string temporary = file->temporary_.substr(baseNameStart(file->temporary_));
    entries.push_back({*name, temporary, temporary + "~", nameTaken(file->path_)});
  }
  const auto pathOf = [&](const std::string& name) { return joinPath(directory, name); };
  // No interrupt may leave one file new and another old.
  const InterruptsHeld held;
  const std::string journal = journalOf(directory);
  std::string written = temporaryPattern(journal);
  std::FILE* stream = operations.create(written, journal, true);
  Result<void> journaled;
  if (stream == nullptr) {
    journaled = stepFault(journal, FaultStep::kJournal);
  } else {
    if (!operations.write(journal, stream, encodeJournal(entries)) ||
        !operations.sync(journal, stream)) {
      journaled = stepFault(journal, FaultStep::kJournal);
    }
    std::fclose(stream);
    if (journaled && !operations.rename(written, journal, true)) {
      journaled = stepFault(journal, FaultStep::kJournal);
    }
    if (!journaled) (void)operations.remove(written);
  }
  // The journal must be on the disk before any old file moves: without it a power loss
  // could leave a moved file that no reader knows to put back.
  if (journaled && !operations.syncDirectory(directory)) {
    journaled = stepFault(journal, FaultStep::kJournal);
    (void)operations.remove(journal);
  }
  if (!journaled) {
    discardAll();
    return journaled;
  }
  Result<void> placed;
  for (std::size_t k = 0; k < entries.size() && placed; ++k) {
    if (entries[k].existed &&
        !operations.rename(pathOf(entries[k].target), pathOf(entries[k].backup), true)) {
      placed = files.begin()[k]->fault(FaultKind::kCannotWrite, FaultStep::kBackup);
    }
  }
  for (std::size_t k = 0; k < entries.size() && placed; ++k) {
    const ReplacementFile& file = *files.begin()[k];
    if (!operations.rename(pathOf(entries[k].temporary), pathOf(entries[k].target),
                           file.existing_ == Existing::kReplace)) {
      Fault unplaced = file.fault(FaultKind::kCannotWrite, FaultStep::kPlace);
      if (file.existing_ == Existing::kRefuse && nameTaken(pathOf(entries[k].target))) {
        unplaced.kind = FaultKind::kExists;
      }
      placed = unplaced;
    }
  }
  // Once the journal is gone the new files are the key; until then a reader undoes.
  if (placed && !operations.remove(journal)) placed = stepFault(journal, FaultStep::kJournal);
  if (!placed) {
    (void)undo(directory, entries, false);
    discardAll();
    return placed;
  }
  // Best effort: the commit stands either way, and a reader would undo nothing.
  (void)operations.syncDirectory(directory);
  for (const JournalEntry& entry : entries) {
    if (entry.existed) (void)operations.remove(pathOf(entry.backup));
  }
  for (ReplacementFile* file : files) {
    file->temporary_.clear();
    file->discard();
  }
  return {};
}

Result<DirectoryLock> DirectoryLock::forWriting(const std::string& directory) {
  if (auto made = createDirectories(directory); !made) return made.fault();
  const auto handle = lockOf(directory, true);
  if (!handle) return handle.fault();
  if (*handle == kLockFailed) {
    return stepFault(directory.empty() ? "." : directory, FaultStep::kLock);
  }
  DirectoryLock lock(directory, *handle);
  if (auto undone = finishInterruptedCommit(directory, false); !undone) return undone.fault();
  // What a writer killed before its journal, or after it, left behind: no other writer
  // is at work. Another user's file of such a name is not the tool's to remove.
  for (const std::string& name : namesIn(directory)) {
    const std::string path = joinPath(directory, name);
    if (isLeftover(name) && fileOperations().ownFile(path)) (void)fileOperations().remove(path);
  }
  return lock;
}

// The journal is looked for under the shared lock, which no writer holds while it
// commits: one found there is a commit cut short, undone under a writer's lock, after
// which the shared lock is taken and the folder looked at again.
Result<DirectoryLock> DirectoryLock::forReading(const std::string& directory) {
  for (bool left = false;;) {
    {
      const auto handle = lockOf(directory, false);
      if (!handle) return handle.fault();
      DirectoryLock reading(directory, *handle);
      if (left || !nameTaken(journalOf(directory))) return reading;
    }
    const auto handle = lockOf(directory, true);
    if (!handle) return handle.fault();
    if (*handle == kLockFailed) return stepFault(journalOf(directory), FaultStep::kUndo);
    const DirectoryLock writing(directory, *handle);
    const auto undone = finishInterruptedCommit(directory, true);
    if (!undone) return undone.fault();
    left = *undone;
  }
}

DirectoryLock::~DirectoryLock() {
  if (handle_ >= 0) fileOperations().unlock(handle_);
}

}  // namespace rotorwerk
