// The handheld's date word and the conversions between it and time values.
//
// A date word is a 16-bit value, big-endian in a raw record: bits 15-9 the year minus 1904
// (1904 to 2031), bits 8-5 the month (1-12), bits 4-0 the day of the month.
#ifndef DBC_CONDUIT_FORMAT_DATE_WORD_H_
#define DBC_CONDUIT_FORMAT_DATE_WORD_H_

#include <stdint.h>

#include "sdk/date_book_record.h"

// The earliest year the desktop keeps; earlier handheld dates are moved into it.
constexpr int32_t kEarliestDesktopYear = 1970;

// Reverses the bytes of a 16-bit value.
uint16_t SwapWord(uint16_t value);

// Breaks time down into local time: its date word, hour and minute. Answers false when the year
// lies outside 1904 to 2031, which a date word cannot carry (the out-values are then not
// meaningful).
bool PackDate(int32_t time, uint16_t* date_word, uint8_t* hour, uint8_t* minute);

// Builds the local time of the date word's day at hour:minute:00 into *time. A year before 1970
// is replaced by 1970 (answer kErrMovedTo1970, 4176; otherwise 0); a month of 0 or above 12 is
// read as 12; out-of-range days, hours and minutes are normalised the way mktime does.
int32_t UnpackDate(uint16_t date_word, int32_t hour, int32_t minute, int32_t* time);

#endif  // DBC_CONDUIT_FORMAT_DATE_WORD_H_
