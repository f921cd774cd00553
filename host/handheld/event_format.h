// How `handheld list` and `handheld raw read` show records.
#ifndef DBC_HOST_HANDHELD_EVENT_FORMAT_H_
#define DBC_HOST_HANDHELD_EVENT_FORMAT_H_

#include <stdint.h>

#include <string>
#include <vector>

#include "host/device/device_control.h"
#include "sdk/category_block.h"

// One line without its line break: ID, flags (D dirty, X deleted, A archived, - for each one
// not set), date, "HH:MM-HH:MM" or "untimed", the description (line breaks shown as \n) and the
// marks [repeat alarm note private] that apply. A deleted record shows "(deleted)" after its
// flags, a record that does not parse "(malformed record, N bytes)".
std::string FormatEventLine(const DeviceRecord& record);

// One JSON object without a line break, with exactly the keys id, dirty, deleted, archived,
// private, category, category_index, date, start, end, alarm, repeat, exceptions, description
// and note. A deleted record has only id, the four flags and category; a record that does not
// parse has those and category_index, and "malformed": true. Each byte of a text becomes the
// character of the same code (", \ and bytes below 0x20 or from 0x7F on as \u00XX escapes).
std::string FormatEventJson(const DeviceRecord& record, const CCategoryBlock& categories);

// Lower-case hex of bytes, and back (false for an odd count or a character that is no hex digit).
std::string ToHex(const std::vector<uint8_t>& bytes);
bool FromHex(const std::string& text, std::vector<uint8_t>* bytes);

#endif  // DBC_HOST_HANDHELD_EVENT_FORMAT_H_
