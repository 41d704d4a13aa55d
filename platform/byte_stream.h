// Where bytes come from and where they go: a file or memory, alike to the code that
// reads or writes them, so that only a caller that names a file touches a disk.
#pragma once

#include <cstddef>
#include <cstdio>
#include <string>
#include <string_view>

namespace rotorwerk {

class ByteSource {
 public:
  virtual ~ByteSource() = default;
  // Up to `size` bytes; 0 at the end or on failure, as fread gives.
  virtual std::size_t read(char* data, std::size_t size) = 0;
  // The next byte as an unsigned char, or EOF.
  virtual int get() = 0;
  // True when a read failed rather than reached the end.
  virtual bool failed() const = 0;
  // After a CR just taken as a separator: the LF that makes the two one line end, where
  // the source stores line ends as CR LF.
  virtual void completeLineEnd() {}
};

class ByteSink {
 public:
  virtual ~ByteSink() = default;
  // False when any byte may not have gone.
  [[nodiscard]] virtual bool write(std::string_view bytes) = 0;
  // False when what was written may not have reached its place.
  [[nodiscard]] virtual bool flush() { return true; }
};

// A file read as text: line ends as the platform stores text (readText).
class FileSource final : public ByteSource {
 public:
  explicit FileSource(std::FILE* file) : file_(file) {}
  std::size_t read(char* data, std::size_t size) override;
  int get() override { return std::getc(file_); }
  bool failed() const override { return std::ferror(file_) != 0; }
  void completeLineEnd() override;

 private:
  std::FILE* file_;
};

// Bytes in memory, taken as they are: memory has no line ends of a platform.
class MemorySource final : public ByteSource {
 public:
  explicit MemorySource(std::string_view bytes) : bytes_(bytes) {}
  std::size_t read(char* data, std::size_t size) override;
  int get() override {
    return at_ < bytes_.size() ? static_cast<unsigned char>(bytes_[at_++]) : EOF;
  }
  bool failed() const override { return false; }
  // How many bytes have been taken.
  std::size_t taken() const { return at_; }

 private:
  std::string_view bytes_;
  std::size_t at_ = 0;
};

// A stream written block by block (writeBlock), for the user's data.
class FileSink final : public ByteSink {
 public:
  explicit FileSink(std::FILE* file) : file_(file) {}
  bool write(std::string_view bytes) override;
  bool flush() override { return std::fflush(file_) == 0; }

 private:
  std::FILE* file_;
};

class StringSink final : public ByteSink {
 public:
  explicit StringSink(std::string& bytes) : bytes_(bytes) {}
  bool write(std::string_view bytes) override {
    bytes_ += bytes;
    return true;
  }

 private:
  std::string& bytes_;
};

}  // namespace rotorwerk
