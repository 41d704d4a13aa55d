// Checks of the names given to the library's file forms, made before any file is
// touched.
#include <cerrno>

#include "api/library_internals.h"

namespace rotorwerk::api {

Result<void> refuseNul(const std::string& name, FaultKind kind) {
  if (name.find('\0') != std::string::npos) return errorFault(kind, name, EINVAL);
  return {};
}

}  // namespace rotorwerk::api
