// Writes a deterministic benchmark text and sound settings into a directory.
//
// The text is English-like words with capitals, digits, punctuation, LF and CRLF
// line ends, and about 5% two-byte GBK characters, some with a letter-valued second
// byte.
#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <string>

namespace {

class Random {
 public:
  std::uint32_t next() {
    state_ = state_ * 6364136223846793005ULL + 1442695040888963407ULL;
    return static_cast<std::uint32_t>(state_ >> 33);
  }
  std::uint32_t below(std::uint32_t n) { return next() % n; }

 private:
  std::uint64_t state_ = 20261208;
};

const char* const kWords[] = {"the",   "machine", "rotor", "letter",  "cipher",    "and",
                              "of",    "to",      "in",    "message", "reflector", "plug",
                              "board", "key",     "daily", "station", "weather",   "report",
                              "north", "signal",  "is",    "was",     "by",        "with",
                              "from",  "at",      "on",    "a",       "an",        "operator"};
const char kPunctuation[] = ",.;:!?'\"()-#";

void writeSettings(const std::string& directory) {
  std::FILE* wiring = std::fopen((directory + "/enigma_config.ef").c_str(), "w");
  std::FILE* start = std::fopen((directory + "/enigma_init.ef").c_str(), "w");
  if (wiring == nullptr || start == nullptr) std::exit(1);
  std::fputs(
      "jlgkywcrmadbipvnxhtszofqeu\n5\nwgbzodnfaepxsrhvjtkcuqmyli\n"
      "lekfhorgbswcuzjavyixmptqnd\nhoclsfbzakedngtyqujmxirwpv\n"
      "sycaudzkexrtmhfjbnvqopwigl\nvyhfruwqmkxzbijtscaoengdlp\n",
      wiring);
  std::fputs("6\nqr dx mu kw bj ep\n2 5 4\n7 19 3\n", start);
  std::fclose(wiring);
  std::fclose(start);
}

}  // namespace

int main(int argc, char** argv) {
  if (argc != 4) {
    std::fprintf(stderr, "usage: make_text DIRECTORY TEXT_NAME MEBIBYTES\n");
    return 2;
  }
  const std::string directory = argv[1];
  writeSettings(directory);
  std::FILE* text = std::fopen((directory + "/" + argv[2]).c_str(), "w");
  if (text == nullptr) return 1;
  const std::uint64_t target = std::strtoull(argv[3], nullptr, 10) << 20;
  Random random;
  std::string line;
  for (std::uint64_t written = 0; written < target;) {
    line.clear();
    while (line.size() < 70) {
      const std::uint32_t kind = random.below(100);
      if (kind < 5) {
        // GBK: a lead byte and a trail byte, which may have the value of a letter.
        line.push_back(static_cast<char>(0x81 + random.below(0x7E)));
        std::uint32_t trail = 0x40 + random.below(0xBF);
        if (trail == 0x7F) trail = 0x80;
        line.push_back(static_cast<char>(trail));
      } else if (kind < 10) {
        line += std::to_string(random.below(10000));
      } else {
        std::string word = kWords[random.below(sizeof kWords / sizeof kWords[0])];
        if (random.below(8) == 0) word[0] = static_cast<char>(word[0] - 'a' + 'A');
        line += word;
      }
      if (random.below(6) == 0) line.push_back(kPunctuation[random.below(sizeof kPunctuation - 1)]);
      line.push_back(' ');
    }
    line += random.below(4) == 0 ? "\r\n" : "\n";
    const std::uint64_t size = std::min<std::uint64_t>(line.size(), target - written);
    std::fwrite(line.data(), 1, size, text);
    written += size;
  }
  return std::fclose(text) == 0 ? 0 : 1;
}
