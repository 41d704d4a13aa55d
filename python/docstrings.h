// The Python module's docstrings, in the words of its type stubs (a test holds them equal).
#pragma once

namespace rotorwerk::python::docs {

inline constexpr const char* kModule =
    "The Rotorwerk three-rotor cipher machine: settings, machine, code files, trace and\n"
    "attack, byte for byte as the rotorwerk program does them.";
inline constexpr const char* kError =
    "A fault, with the program's message; kind names it, one of FAULT_KINDS (\"settings\",\n"
    "\"format\", ...).";

inline constexpr const char* kSettings =
    "A key: the wiring file and, unless only the wiring is known, the start file.";
inline constexpr const char* kLoad =
    "Both files of a folder (\"\": the working directory), read under the folder's lock;\n"
    "other threads run while it waits.";
inline constexpr const char* kLoadWiring = "The wiring file of a folder alone, for the attack.";
inline constexpr const char* kParse = "Settings from the texts of a wiring file and a start file.";
inline constexpr const char* kParseWiring = "Settings from the text of a wiring file alone.";
inline constexpr const char* kHasStart =
    "Whether a start file is known: only then can they encipher.";
inline constexpr const char* kWiringText = "The wiring file's text, as the program writes it.";
inline constexpr const char* kStartText = "The start file's text, or \"\" without one.";
inline constexpr const char* kRotorCount = "The rotors the wiring file holds.";
inline constexpr const char* kSlots = "The rotor numbers in the left, middle and right slot.";
inline constexpr const char* kOffsets = "The left, middle and right start offsets.";
inline constexpr const char* kPlugPairs = "The plug pairs, each two lowercase letters.";
inline constexpr const char* kKeygen =
    "Fresh settings from the system's cryptographic random source: rotors (1 to 10)\n"
    "wirings and plugs (0 to 13) plug pairs.";

inline constexpr const char* kTraceStep =
    "One letter's way: the positions after stepping, and each stage's letter 0..25.";
inline constexpr const char* kMachine =
    "The machine of a key with a start file, typed at letter by letter.";
inline constexpr const char* kPress =
    "Steps the rotors and enciphers one letter; any other character passes unchanged and\n"
    "steps nothing.";
inline constexpr const char* kMachineTrace = "Presses a letter and gives every stage of its way.";
inline constexpr const char* kReset = "Back to the start offsets.";
inline constexpr const char* kPositions = "The left, middle and right rotor positions now.";

inline constexpr const char* kVerification = "What deciphering found besides the text.";
inline constexpr const char* kEncrypt =
    "Enciphers a text (bytes, or str as UTF-8) into a code file's bytes, as the program does.";
inline constexpr const char* kDecrypt =
    "Deciphers a code file's bytes: the text and its verification.";
inline constexpr const char* kTrace =
    "The steps of the first letters of a text, and with check_letters those of the three\n"
    "check letters.";

inline constexpr const char* kAttackStatus =
    "How far the attack has come: its stage (1 to 4), the share of it done, the best score.";
inline constexpr const char* kAttackOutcome =
    "The start file the attack found, and the evidence for it.";
inline constexpr const char* kAttack =
    "Finds the start file of code (one code file's bytes or several under one key) under a\n"
    "known wiring. on_progress is called a few times a second; a false answer other than\n"
    "None stops the search with the best key so far, as an exception or Ctrl-C does.";

}  // namespace rotorwerk::python::docs
