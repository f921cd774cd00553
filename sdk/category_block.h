// The category block at the start of a handheld database's application-information block: part
// of the contract between the handheld and the desktop. Header only; the conduit's category
// conversion and the host's handheld tool both go through it.
//
//   0   2    name-changed flags, big-endian: bit i set when category i was renamed on the handheld
//   2   256  16 names of 16 bytes, zero-terminated and zero-filled; an empty name is a free slot
//   258 16   16 category IDs, one byte each
//   274      the rest of the application-information block, not part of the category block
//
// Category 0 is "Unfiled", the category of records that belong to no other.
#ifndef DBC_SDK_CATEGORY_BLOCK_H_
#define DBC_SDK_CATEGORY_BLOCK_H_

#include <stddef.h>
#include <stdint.h>

#include <algorithm>
#include <cstring>
#include <string>
#include <string_view>

constexpr size_t kCategoryCount = 16;
constexpr size_t kCategoryNameSize = 16;
// The longest name a slot holds: its zero byte takes the sixteenth byte.
constexpr size_t kCategoryMaxNameLength = kCategoryNameSize - 1;
constexpr size_t kCategoryFlagsSize = 2;
constexpr size_t kCategoryNamesAndIdsSize = kCategoryCount * kCategoryNameSize + kCategoryCount;
// Bytes of the application-information block that the category block takes.
constexpr size_t kCategoryBlockSize = kCategoryFlagsSize + kCategoryNamesAndIdsSize;
// Offset of the IDs from the start of the names (block offset 2).
constexpr size_t kCategoryIdsOffset = kCategoryCount * kCategoryNameSize;
constexpr char kUnfiledCategoryName[] = "Unfiled";

// The name in slot i of names_and_ids (the block from offset 2 on): the bytes up to its zero byte,
// all 16 when a slot has none. Empty for a free slot.
inline std::string_view CategoryNameInSlot(const uint8_t* names_and_ids, size_t i) {
  const char* name = reinterpret_cast<const char*>(names_and_ids + i * kCategoryNameSize);
  const void* zero = std::memchr(name, 0, kCategoryNameSize);
  return std::string_view(name, zero == nullptr
                                    ? kCategoryNameSize
                                    : static_cast<size_t>(static_cast<const char*>(zero) - name));
}

// Writes `name` into slot i of names_and_ids: its first kCategoryMaxNameLength bytes (up to a zero
// byte in it), zero-filled, so that a zero byte always ends it.
inline void PutCategoryNameInSlot(uint8_t* names_and_ids, size_t i, std::string_view name) {
  uint8_t* slot = names_and_ids + i * kCategoryNameSize;
  std::memset(slot, 0, kCategoryNameSize);
  name = name.substr(0, std::min(name.find('\0'), kCategoryMaxNameLength));
  std::memcpy(slot, name.data(), name.size());
}

inline uint16_t ReadCategoryChangedFlags(const uint8_t* block) {
  return static_cast<uint16_t>((block[0] << 8) | block[1]);
}
inline void WriteCategoryChangedFlags(uint8_t* block, uint16_t flags) {
  block[0] = static_cast<uint8_t>(flags >> 8);
  block[1] = static_cast<uint8_t>(flags & 0xFF);
}

// The category block split into its parts.
struct CCategoryBlock {
  uint16_t changed_flags = 0;
  std::string names[kCategoryCount];  // empty: a free slot
  uint8_t ids[kCategoryCount] = {};
};

// Reads the category block from the first kCategoryBlockSize bytes of an application-information
// block; false (and *out untouched) when the block is shorter.
inline bool ReadCategoryBlock(const uint8_t* block, size_t size, CCategoryBlock* out) {
  if (block == nullptr || size < kCategoryBlockSize) return false;
  const uint8_t* names_and_ids = block + kCategoryFlagsSize;
  out->changed_flags = ReadCategoryChangedFlags(block);
  for (size_t i = 0; i < kCategoryCount; ++i) {
    out->names[i] = std::string(CategoryNameInSlot(names_and_ids, i));
    out->ids[i] = names_and_ids[kCategoryIdsOffset + i];
  }
  return true;
}

// Writes the category block into the first kCategoryBlockSize bytes of `block`; names are cut as
// PutCategoryNameInSlot does. The bytes after the category block are not touched.
inline void WriteCategoryBlock(const CCategoryBlock& in, uint8_t* block) {
  uint8_t* names_and_ids = block + kCategoryFlagsSize;
  WriteCategoryChangedFlags(block, in.changed_flags);
  for (size_t i = 0; i < kCategoryCount; ++i) {
    PutCategoryNameInSlot(names_and_ids, i, in.names[i]);
    names_and_ids[kCategoryIdsOffset + i] = in.ids[i];
  }
}

#endif  // DBC_SDK_CATEGORY_BLOCK_H_
