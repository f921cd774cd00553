// Line-break conversion between desktop texts (CR LF) and handheld texts (LF).
#ifndef DBC_CONDUIT_FORMAT_LINE_BREAKS_H_
#define DBC_CONDUIT_FORMAT_LINE_BREAKS_H_

#include <stddef.h>
#include <stdint.h>

#include <string_view>

// Copies a desktop text into destination (capacity bytes) without its CRs, so that CR LF becomes
// LF, and ends it with a zero byte. The text ends at its first zero byte, if it has one. Answers
// the number of bytes written, the zero included, or 0 (nothing written) when they do not fit.
size_t StripReturns(uint8_t* destination, size_t capacity, std::string_view text);

// Copies a handheld text of length bytes (without its terminating zero) into buffer (capacity
// bytes) with a CR written before every LF, so that LF becomes CR LF, and ends it with a zero
// byte; *expanded_length is set to the length of the result without the zero. Answers 0;
// kErrNoRecordBuffer (4106) when buffer is null; kErrConvertFromRemote (4112) when the result
// does not fit (buffer then holds an empty text).
int32_t ExpandLineFeeds(char* buffer, size_t capacity, const uint8_t* text, size_t length,
                        size_t* expanded_length);

#endif  // DBC_CONDUIT_FORMAT_LINE_BREAKS_H_
