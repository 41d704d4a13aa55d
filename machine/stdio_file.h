// An owned C stream, closed when it goes out of scope.
#pragma once

#include <cstdio>
#include <memory>

namespace rotorwerk {

struct FileCloser {
  void operator()(std::FILE* file) const { std::fclose(file); }
};

using File = std::unique_ptr<std::FILE, FileCloser>;

}  // namespace rotorwerk
