// Checks of the names given to the library's file forms, made before any file is
// touched.
#include <cerrno>
#include <vector>

#include "api/library_internals.h"

namespace rotorwerk::api {

Result<void> refuseNul(const std::string& name, FaultKind kind) {
  if (name.find('\0') != std::string::npos) return errorFault(kind, name, EINVAL);
  return {};
}

Result<void> refuseKeyFile(const Settings& settings, const std::string& output) {
  const Settings::Data& data = settings.data();
  if (!data.folder || output == "-") return {};
  // The attack writes the start file of settings that have none: that one may go.
  std::vector<std::string> keyFiles = {joinPath(*data.folder, kWiringFileName)};
  if (data.hasStart) keyFiles.push_back(joinPath(*data.folder, kStartFileName));
  for (const std::string& name : keyFiles) {
    if (sameFile(name, output)) {
      return Fault{FaultKind::kSameFile, output, static_cast<int>(SameFile::kOutputIsKey), 0, name};
    }
  }
  return {};
}

}  // namespace rotorwerk::api
