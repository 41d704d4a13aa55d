// The journal of a key change: its format, and the judging of what it names.
#include "platform/key_journal.h"

#include <algorithm>

#include "platform/replacement_file.h"

namespace rotorwerk {
namespace {

constexpr std::string_view kHeader = "rotorwerk commit 1\n";
// Windows writes the journal as text, so its header ends in CR LF there.
constexpr std::string_view kWindowsHeader = "rotorwerk commit 1\r\n";
constexpr std::size_t kRandomLength = 6;

// A temporary name is the one temporaryPattern gives its file, with six letters or
// digits in place of its X's; a backup is a temporary name with "~" after it.
bool isTemporaryOf(std::string_view temporary, const std::string& target) {
  const std::string pattern = temporaryPattern(target);
  const std::size_t stem = pattern.size() - kRandomLength;
  if (temporary.size() != pattern.size() || temporary.substr(0, stem) != pattern.substr(0, stem)) {
    return false;
  }
  return std::all_of(
      temporary.begin() + static_cast<std::ptrdiff_t>(stem), temporary.end(), [](char c) {
        return (c >= 'a' && c <= 'z') || (c >= 'A' && c <= 'Z') || (c >= '0' && c <= '9');
      });
}

}  // namespace

bool isPlainName(std::string_view name) {
  return !name.empty() && name != "." && name != ".." &&
         name.find_first_of(std::string_view("/\\\0", 3)) == std::string_view::npos;
}

Fault journalFault(const std::string& journal, JournalProblem problem, std::string reason) {
  Fault fault{FaultKind::kJournal, journal};
  fault.item = static_cast<int>(problem);
  fault.reason = std::move(reason);
  return fault;
}

// Names may hold any byte but NUL, so NUL ends each field.
std::string encodeJournal(const std::vector<JournalEntry>& entries) {
  std::string text(kHeader);
  for (const JournalEntry& entry : entries) {
    for (const std::string* field : {&entry.target, &entry.temporary, &entry.backup}) {
      text += *field;
      text += '\0';
    }
    text += entry.existed ? "1" : "0";
    text += '\0';
  }
  return text;
}

Result<std::vector<JournalEntry>> decodeJournal(std::string_view text, const std::string& journal) {
  const Fault damaged = journalFault(journal, JournalProblem::kDamaged);
  if (text.substr(0, kHeader.size()) == kHeader) {
    text.remove_prefix(kHeader.size());
  } else if (text.substr(0, kWindowsHeader.size()) == kWindowsHeader) {
    text.remove_prefix(kWindowsHeader.size());
  } else {
    return damaged;
  }
  std::vector<std::string> fields;
  while (!text.empty()) {
    const std::size_t end = text.find('\0');
    if (end == std::string_view::npos) return damaged;
    fields.emplace_back(text.substr(0, end));
    text.remove_prefix(end + 1);
  }
  // A journal records at least one file, and each file once.
  if (fields.empty() || fields.size() % 4 != 0) return damaged;
  std::vector<JournalEntry> entries;
  for (std::size_t k = 0; k < fields.size(); k += 4) {
    if (fields[k + 3] != "0" && fields[k + 3] != "1") return damaged;
    JournalEntry entry{fields[k], fields[k + 1], fields[k + 2], fields[k + 3] == "1"};
    if (!isPlainName(entry.target) || !isPlainName(entry.temporary) || !isPlainName(entry.backup) ||
        !isTemporaryOf(entry.temporary, entry.target) || entry.backup != entry.temporary + "~") {
      return journalFault(journal, JournalProblem::kOutside);
    }
    for (const JournalEntry& earlier : entries) {
      if (earlier.target == entry.target) return damaged;
    }
    entries.push_back(std::move(entry));
  }
  return entries;
}

}  // namespace rotorwerk
