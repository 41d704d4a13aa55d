// The command line's four jobs, each giving its exit status.
#pragma once

#include <string>
#include <vector>

#include "codefile/code_file.h"
#include "machine/key_generator.h"
#include "platform/console.h"

namespace rotorwerk {

// Exit statuses of a command-line job.
inline constexpr int kExitSuccess = 0;
inline constexpr int kExitError = 1;       // a file, the settings or a write failed
inline constexpr int kExitUsage = 2;       // an unknown command or option, a missing FILE
inline constexpr int kExitUnverified = 3;  // deciphered, but the verification failed

struct JobOptions {
  std::string file;
  std::vector<std::string> moreFiles;  // attack: more code files under the same start file
  std::string language = "en";
  std::string type = std::string(kCheckedCode);
  std::string output;
  std::string settings;  // empty: the working directory
  int rotors = kDefaultKeyRotors;
  int plugs = kDefaultKeyPlugs;
  // trace
  int letters = 26;              // letters to show
  std::string format = "table";  // table for people, tsv for scripts
  std::string traceType;         // RW-26001B: the check letters too
  // attack
  unsigned threads = 0;           // 0: every core
  int timeLimit = 300;            // seconds
  std::string crib;               // attack: known text, TEXT or TEXT@N
  std::string statistics = "en";  // attack: en, de, fr, es, or auto for each in turn
  bool force = false;
  bool startOnly = false;  // keygen: a new start file under the existing wiring
  bool quiet = false;      // no word on success
  bool json = false;       // check, trace, attack: one JSON document on standard output
  bool help = false;       // the command's help, not its job
};

int encryptJob(const JobOptions& options, Console& console);
int decryptJob(const JobOptions& options, Console& console);
int keygenJob(const JobOptions& options, Console& console);
int checkJob(const JobOptions& options, Console& console);

// Tells the fault on standard error and gives kExitError.
int failed(Console& console, const Fault& fault);

// One line of the command line on standard error, led by the tool's name.
void tell(Console& console, const std::string& message);

}  // namespace rotorwerk
