// Which file operations are in use.
#include "platform/file_operations.h"

namespace rotorwerk {
namespace {

FileOperations gSystemOperations;
FileOperations* gOperations = &gSystemOperations;

}  // namespace

FileOperations& fileOperations() { return *gOperations; }

void useFileOperations(FileOperations* operations) {
  gOperations = operations != nullptr ? operations : &gSystemOperations;
}

}  // namespace rotorwerk
