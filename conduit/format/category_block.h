// The category block at the start of a handheld database's application-information block.
//
//   0   2    name-changed flags, big-endian: bit i set when category i was renamed on the handheld
//   2   256  16 names of 16 bytes, zero-terminated and zero-filled; an empty name is a free slot
//   258 16   16 category IDs, one byte each
//   274      the rest of the block, which the category conversion neither reads nor writes
#ifndef DBC_CONDUIT_FORMAT_CATEGORY_BLOCK_H_
#define DBC_CONDUIT_FORMAT_CATEGORY_BLOCK_H_

#include <stddef.h>
#include <stdint.h>

class CCategoryMgr;

constexpr size_t kCategoryCount = 16;
constexpr size_t kCategoryNameSize = 16;
constexpr size_t kCategoryFlagsSize = 2;
constexpr size_t kCategoryNamesAndIdsSize = kCategoryCount * kCategoryNameSize + kCategoryCount;
// Bytes of the block that the conversion reads and writes.
constexpr size_t kCategoryBlockSize = kCategoryFlagsSize + kCategoryNamesAndIdsSize;

// Adds a category to list for every non-empty name of names_and_ids (the block from offset 2 on,
// kCategoryNamesAndIdsSize bytes): its index, its name (up to the zero byte, at most 16 bytes), its
// ID and a name-dirty flag from changed_flags. A category that cannot be created or that the list
// refuses is left out. Answers 0.
int32_t UnpackCategoryBlock(const uint8_t* names_and_ids, uint16_t changed_flags,
                            CCategoryMgr* list);

// Fills names_and_ids (kCategoryNamesAndIdsSize bytes) with zeros and then, for every index of 0 to
// 15 that list has a category for, that category's name (cut to 15 bytes so that a zero byte
// always ends it) and the low byte of its ID. Answers 0.
int32_t PackCategoryBlock(uint8_t* names_and_ids, CCategoryMgr* list);

#endif  // DBC_CONDUIT_FORMAT_CATEGORY_BLOCK_H_
