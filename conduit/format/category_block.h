// The conduit's helpers between the category block (sdk/category_block.h) and a desktop category
// list.
#ifndef DBC_CONDUIT_FORMAT_CATEGORY_BLOCK_H_
#define DBC_CONDUIT_FORMAT_CATEGORY_BLOCK_H_

#include <stddef.h>
#include <stdint.h>

#include "sdk/category_block.h"

class CCategoryMgr;

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
