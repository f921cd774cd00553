// JSON text for the host programs' machine-readable output: one string, quoted and escaped.
#ifndef DBC_HOST_SUPPORT_JSON_TEXT_H_
#define DBC_HOST_SUPPORT_JSON_TEXT_H_

#include <cstdio>
#include <string>

// `text` as a JSON string. Every byte is kept: quotes and backslashes are escaped, control bytes
// and bytes outside ASCII become \u00XX (the texts are single-byte, not UTF-8).
inline std::string JsonQuote(const std::string& text) {
  std::string out = "\"";
  for (unsigned char c : text) {
    if (c == '"') {
      out += "\\\"";
    } else if (c == '\\') {
      out += "\\\\";
    } else if (c < 0x20 || c >= 0x7F) {
      char escape[8];
      std::snprintf(escape, sizeof escape, "\\u%04X", c);
      out += escape;
    } else {
      out += static_cast<char>(c);
    }
  }
  return out + "\"";
}

#endif  // DBC_HOST_SUPPORT_JSON_TEXT_H_
