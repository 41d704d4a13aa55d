// Files of a settings directory committed as one. A journal written before the first
// old file is moved aside lets the next reader of the directory undo a commit that a
// crash cut short: the command that made it never said it succeeded, so the old key
// is what its user still expects (as with SQLite's rollback journal).
#include <algorithm>
#include <cassert>
#include <cerrno>
#include <optional>
#include <vector>

#include "platform/file.h"
#include "platform/file_operations.h"
#include "platform/interrupts.h"
#include "platform/replacement_file.h"

namespace rotorwerk {
namespace {

constexpr const char* kJournalName = ".enigma_commit";
constexpr std::string_view kJournalHeader = "rotorwerk commit 1\n";
// Far more than a journal of two files with the longest names takes.
constexpr std::size_t kJournalLimit = std::size_t{64} * 1024;

// One file of a commit: the new file's temporary name and the old file's backup.
struct Entry {
  std::string target;
  std::string temporary;
  std::string backup;
  bool existed = false;
};

std::string journalOf(const std::string& directory) { return joinPath(directory, kJournalName); }

// Names may hold any byte but NUL, so NUL ends each field.
std::string encode(const std::vector<Entry>& entries) {
  std::string text(kJournalHeader);
  for (const Entry& entry : entries) {
    for (const std::string* field : {&entry.target, &entry.temporary, &entry.backup}) {
      text += *field;
      text += '\0';
    }
    text += entry.existed ? "1" : "0";
    text += '\0';
  }
  return text;
}

std::optional<std::vector<Entry>> decode(std::string_view text) {
  if (text.substr(0, kJournalHeader.size()) != kJournalHeader) return std::nullopt;
  text.remove_prefix(kJournalHeader.size());
  std::vector<std::string> fields;
  while (!text.empty()) {
    const std::size_t end = text.find('\0');
    if (end == std::string_view::npos) return std::nullopt;
    fields.emplace_back(text.substr(0, end));
    text.remove_prefix(end + 1);
  }
  if (fields.size() % 4 != 0) return std::nullopt;
  std::vector<Entry> entries;
  for (std::size_t k = 0; k < fields.size(); k += 4) {
    if (fields[k + 3] != "0" && fields[k + 3] != "1") return std::nullopt;
    entries.push_back({fields[k], fields[k + 1], fields[k + 2], fields[k + 3] == "1"});
  }
  return entries;
}

Fault stepFault(const std::string& file, FaultStep step) {
  Fault fault = systemFault(FaultKind::kCannotWrite, file);
  fault.step = step;
  return fault;
}

// Puts every old file back and removes every new one; the journal goes only when all
// of that succeeded, so that a rollback that fails is tried again by the next reader.
Result<void> undo(const std::string& directory, const std::vector<Entry>& entries) {
  FileOperations& operations = fileOperations();
  std::optional<Fault> failure;
  const auto failed = [&](const std::string& file) {
    if (!failure) failure = stepFault(file, FaultStep::kUndo);
  };
  for (const Entry& entry : entries) {
    if (nameTaken(entry.backup)) {
      if (!operations.rename(entry.backup, entry.target, true)) failed(entry.target);
    } else if (!entry.existed && nameTaken(entry.target)) {
      if (!operations.remove(entry.target)) failed(entry.target);
    }
    if (nameTaken(entry.temporary) && !operations.remove(entry.temporary)) {
      failed(entry.temporary);
    }
  }
  if (failure) return *failure;
  if (!operations.remove(journalOf(directory)))
    return stepFault(journalOf(directory), FaultStep::kUndo);
  return {};
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
Result<void> finishInterruptedCommit(const std::string& directory) {
  const std::string journal = journalOf(directory);
  if (!nameTaken(journal)) return {};
  auto file = openForReading(journal);
  if (!file) return stepFault(journal, FaultStep::kUndo);
  std::string text(kJournalLimit, '\0');
  text.resize(std::fread(text.data(), 1, text.size(), file->get()));
  const auto entries = decode(text);
  if (!entries) {
    Fault damaged = errorFault(FaultKind::kCannotWrite, journal, EILSEQ);
    damaged.step = FaultStep::kUndo;
    return damaged;
  }
  return undo(directory, *entries);
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
  // No interrupt may leave one file new and another old.
  const InterruptsHeld held;
  std::vector<Entry> entries;
  for (const ReplacementFile* file : files) {
    entries.push_back(
        {file->path_, file->temporary_, file->temporary_ + "~", nameTaken(file->path_)});
  }
  const std::string journal = journalOf(lock.directory());
  std::string written = temporaryPattern(journal);
  std::FILE* stream = createTemporary(written, journal, Access::kPrivate);
  Result<void> journaled;
  if (stream == nullptr) {
    journaled = stepFault(journal, FaultStep::kJournal);
  } else {
    if (!operations.write(stream, encode(entries)) || !operations.sync(stream)) {
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
  if (journaled && !operations.syncDirectory(lock.directory())) {
    journaled = stepFault(journal, FaultStep::kJournal);
    (void)operations.remove(journal);
  }
  if (!journaled) {
    discardAll();
    return journaled;
  }
  Result<void> placed;
  for (std::size_t k = 0; k < entries.size() && placed; ++k) {
    if (entries[k].existed && !operations.rename(entries[k].target, entries[k].backup, true)) {
      placed = files.begin()[k]->fault(FaultKind::kCannotWrite, FaultStep::kBackup);
    }
  }
  for (std::size_t k = 0; k < entries.size() && placed; ++k) {
    const ReplacementFile& file = *files.begin()[k];
    if (!operations.rename(entries[k].temporary, entries[k].target,
                           file.existing_ == Existing::kReplace)) {
      Fault unplaced = file.fault(FaultKind::kCannotWrite, FaultStep::kPlace);
      if (file.existing_ == Existing::kRefuse && nameTaken(entries[k].target)) {
        unplaced.kind = FaultKind::kExists;
      }
      placed = unplaced;
    }
  }
  // Once the journal is gone the new files are the key; until then a reader undoes.
  if (placed && !operations.remove(journal)) placed = stepFault(journal, FaultStep::kJournal);
  if (!placed) {
    (void)undo(lock.directory(), entries);
    discardAll();
    return placed;
  }
  // Best effort: the commit stands either way, and a reader would undo nothing.
  (void)operations.syncDirectory(lock.directory());
  for (const Entry& entry : entries) {
    if (entry.existed) (void)operations.remove(entry.backup);
  }
  for (ReplacementFile* file : files) {
    file->temporary_.clear();
    file->discard();
  }
  return {};
}

Result<DirectoryLock> DirectoryLock::forWriting(const std::string& directory) {
  if (auto made = createDirectories(directory); !made) return made.fault();
  const std::intptr_t handle = fileOperations().lock(directory, true, true);
  if (handle == kLockFailed) {
    return stepFault(directory.empty() ? "." : directory, FaultStep::kLock);
  }
  DirectoryLock lock(directory, handle);
  if (auto undone = finishInterruptedCommit(directory); !undone) return undone.fault();
  // What a writer killed before its journal left behind: no other writer is at work.
  for (const std::string& name : namesIn(directory)) {
    if (isLeftover(name)) (void)fileOperations().remove(joinPath(directory, name));
  }
  return lock;
}

Result<DirectoryLock> DirectoryLock::forReading(const std::string& directory) {
  if (nameTaken(journalOf(directory))) {
    // A commit cut short: undone under a writer's lock, which waits for a writer
    // that is still at work.
    const std::intptr_t handle = fileOperations().lock(directory, true, true);
    if (handle == kLockFailed) return stepFault(journalOf(directory), FaultStep::kUndo);
    const DirectoryLock writing(directory, handle);
    if (auto undone = finishInterruptedCommit(directory); !undone) return undone.fault();
  }
  return DirectoryLock(directory, fileOperations().lock(directory, false, false));
}

DirectoryLock::~DirectoryLock() {
  if (handle_ >= 0) fileOperations().unlock(handle_);
}

}  // namespace rotorwerk
