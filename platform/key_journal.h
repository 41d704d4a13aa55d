// The journal of a key change: what it records, and how a reader judges it before it
// believes it. It names only files of its own folder, by their plain names, so where a
// command was started never changes what it undoes.
#pragma once

#include <cstddef>
#include <string>
#include <string_view>
#include <vector>

#include "rotorwerk/result.h"

namespace rotorwerk {

inline constexpr std::string_view kJournalName = ".enigma_commit";
// Far more than a journal of two files with the longest names takes.
inline constexpr std::size_t kJournalLimit = std::size_t{64} * 1024;

// One file of a change: the names, within the folder, of the file, of the new text's
// temporary file and of the old file's backup.
struct JournalEntry {
  std::string target;
  std::string temporary;
  std::string backup;
  bool existed = false;
};

std::string encodeJournal(const std::vector<JournalEntry>& entries);

// The entries of a journal's text, or a kJournal fault naming `journal`: kDamaged when
// the text is no journal, kOutside when a name is not a plain name of the folder or a
// temporary or backup name is not its file's.
Result<std::vector<JournalEntry>> decodeJournal(std::string_view text, const std::string& journal);

// True for a name that stays in its folder: no separator, not "." or "..".
bool isPlainName(std::string_view name);

// A kJournal fault for `journal`; `reason` fills in what the problem names.
Fault journalFault(const std::string& journal, JournalProblem problem, std::string reason = {});

}  // namespace rotorwerk
