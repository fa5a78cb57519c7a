// The profile reader with arbitrary bytes: whatever a file holds is refused with a reason or
// taken whole, and a block taken is saved and read back unchanged, its changes listed.
#include <cstdint>
#include <cstdlib>
#include <string>

#include "profiles/profile.h"

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
  const std::string text(reinterpret_cast<const char*>(data), size);
  const ProfileRead read = ParseProfile(text);
  if (!read.block) {
    if (read.reason.empty()) std::abort();
    return 0;
  }
  const ProfileRead again = ParseProfile(ProfileText(*read.block, {}));
  if (!again.block || *again.block != *read.block) std::abort();
  const ParameterBlock meter{};
  ChangesText(BlockChanges(meter, WithProfile(meter, *read.block)));
  return 0;
}
