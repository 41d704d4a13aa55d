// A key journal of random bytes, believed or not by a reader and a writer started in
// another folder: no file outside the journal's folder may change, whatever it says.
#include <sys/stat.h>
#include <unistd.h>

#include <cstdint>
#include <cstdlib>
#include <string>

#include "fuzz_support.h"
#include "platform/replacement_file.h"

namespace {

using rotorwerk::fuzz::scratchDirectory;
using rotorwerk::fuzz::writeFile;

// Names a journal might be made to reach: the key's, its temporaries' and backups'.
constexpr const char* kNames[] = {"enigma_config.ef",          "enigma_init.ef",
                                  ".enigma_init.ef.AAAAAA",    ".enigma_init.ef.AAAAAA~",
                                  ".enigma_config.ef.AAAAAA~", "victim"};

std::string folder(const char* name) { return scratchDirectory() + "/" + name; }

// The outside folder holds the same names as the key's folder, so that a name resolved
// against the wrong folder would find something to move.
void plant(const std::string& directory) {
  mkdir(directory.c_str(), 0700);
  for (const char* name : kNames) writeFile(directory + "/" + name, directory + name);
}

bool unchanged(const std::string& directory) {
  for (const char* name : kNames) {
    std::FILE* file = std::fopen((directory + "/" + name).c_str(), "rb");
    if (file == nullptr) return false;
    const bool same = rotorwerk::fuzz::readAll(file) == directory + name;
    std::fclose(file);
    if (!same) return false;
  }
  return true;
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
  static const bool ready = [] {
    for (const char* name : {"keys", "outside", "elsewhere"}) mkdir(folder(name).c_str(), 0700);
    // Names with ".." or the writer's own spelling of the folder lead here from within.
    return chdir(folder("elsewhere").c_str()) == 0;
  }();
  if (!ready) std::abort();
  plant(folder("keys"));
  plant(folder("outside"));
  plant(folder("elsewhere"));
  const std::string journal = folder("keys") + "/.enigma_commit";
  writeFile(journal, data, size);
  chmod(journal.c_str(), 0600);
  // A reader names the folder from its sibling, a writer by its absolute name; each lets
  // its lock go before the next takes one.
  (void)rotorwerk::DirectoryLock::forReading("../keys");
  (void)rotorwerk::DirectoryLock::forWriting(folder("keys"));
  if (!unchanged(folder("outside")) || !unchanged(folder("elsewhere"))) std::abort();
  unlink(journal.c_str());
  return 0;
}
