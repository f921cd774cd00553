// The handheld's Date Book as its own application sees it: the "DatebookDB" database of the
// device image in a hotsync home, reached only through the device library.
#ifndef DBC_HOST_HANDHELD_DATE_BOOK_H_
#define DBC_HOST_HANDHELD_DATE_BOOK_H_

#include <stdint.h>

#include <string>
#include <vector>

#include "host/device/device_control.h"
#include "sdk/category_block.h"

// Connects the device image of the home that `home_option` names (empty: the default home, as
// hotsync chooses it). Creates nothing: a missing home or image, and a damaged or foreign image,
// give false with *error set, the files untouched.
bool ConnectHandheld(const std::string& home_option, std::string* error);

// Creates the Date Book database, with a category block holding only "Unfiled", when the device
// has none (as the application does when it first runs). Answers a kDevice* code.
int32_t EnsureDateBook();

// The Date Book's records in record order, deleted and archived ones included; none when the
// device has no Date Book yet.
int32_t ReadDateBookRecords(std::vector<DeviceRecord>* records);
// kDeviceErrNotFound when there is no such record (or no Date Book).
int32_t ReadDateBookRecord(uint32_t id, DeviceRecord* record);
// Writes a record (ID 0: a new record under a new ID, which record->id receives), creating the
// Date Book first when needed.
int32_t WriteDateBookRecord(DeviceRecord* record);

// The category block and the whole application-information block it starts. Without a Date Book:
// the block a new one gets. kDeviceErrImage (with *error set) when the block is too short.
int32_t ReadDateBookCategories(CCategoryBlock* categories, std::vector<uint8_t>* app_info,
                               std::string* error);
// Writes `categories` over the start of `app_info` (the rest kept) and stores the block.
int32_t WriteDateBookCategories(const CCategoryBlock& categories, std::vector<uint8_t> app_info);
// Moves the records of category `index` to Unfiled, marking them dirty.
int32_t MoveDateBookCategoryToUnfiled(uint8_t index);

// The index of the category named `name` (exactly), or -1. Index 0 answers to "Unfiled" also when
// its slot is empty.
int32_t FindCategory(const CCategoryBlock& categories, const std::string& name);
// The name of category `index` for showing: "Unfiled" for an empty slot 0, "" for other empty
// slots.
std::string CategoryName(const CCategoryBlock& categories, uint8_t index);

// A device library code as words, for error messages.
std::string DeviceErrorText(int32_t code);

#endif  // DBC_HOST_HANDHELD_DATE_BOOK_H_
