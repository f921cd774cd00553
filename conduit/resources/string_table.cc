// The conduit's string table, compiled into the library from strings.inc.
#include "conduit/resources/string_table.h"

namespace {

struct StringEntry {
  uint32_t id;
  const char* text;
};

constexpr StringEntry kStrings[] = {
#define DBC_STRING(id, text) {id, text},
#include "conduit/resources/strings.inc"
#undef DBC_STRING
};

constexpr bool IdsRunFromFirstToLast() {
  uint32_t expected = kFirstStringId;
  for (const StringEntry& entry : kStrings) {
    if (entry.id != expected++) return false;
  }
  return expected == kLastStringId + 1;
}
static_assert(IdsRunFromFirstToLast(), "one text for every id, in id order");

#if !defined(_WIN32)
// The address of this object identifies the conduit module to the string-resource loader.
const char kConduitModuleMarker = 0;
#endif

}  // namespace

#if !defined(_WIN32)
const void* ConduitModuleInstance() {
  return &kConduitModuleMarker;
}
#endif

const char* FindConduitString(uint32_t id) {
  if (id < kFirstStringId || id > kLastStringId) return nullptr;
  const StringEntry& entry = kStrings[id - kFirstStringId];
  return entry.id == id ? entry.text : nullptr;
}
