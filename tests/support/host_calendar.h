// A host calendar for tests: the entries a host driver would keep, written as an extract and
// changed by an update file, as a real driver would do it. Entries are kept as the fields of an
// exchange-file record line; the host entry number is the calendar's own, stable key.
#ifndef DBC_TESTS_SUPPORT_HOST_CALENDAR_H_
#define DBC_TESTS_SUPPORT_HOST_CALENDAR_H_

#include <stdio.h>
#include <stdlib.h>

#include <algorithm>
#include <string>
#include <tuple>
#include <vector>

namespace test_support {

// The fields of one record line of an exchange file.
struct CExchangeEntry {
  std::string id = "        ";  // 8 upper-case hex digits, or blank
  int number = 0;               // host entry number
  std::string date;             // YYYYMMDD
  std::string start = "     ";  // HH:MM, blank for untimed
  std::string end = "     ";
  char status = '0';  // '0' unchanged, '1' added, '2' deleted, '3' modified
  std::string alarm = "000";
  char repeat = '0';
  std::string text;  // folded text

  // One line of the compact form the tests compare: "<status> <id> <date> <start>-<end> [R ]text".
  std::string Brief() const {
    std::string times = start == "     " ? "untimed" : start + "-" + end;
    return std::string(1, status) + " " + id + " " + date + " " + times + " " +
           (repeat == '1' ? "R " : "") + text;
  }
};

// Parses an exchange file; false when it is not one.
inline bool ParseExchangeFile(const std::string& bytes, std::vector<CExchangeEntry>* entries) {
  entries->clear();
  if (bytes.size() < 4) return false;
  int count = atoi(bytes.substr(0, 4).c_str());
  size_t at = 4;
  for (int i = 0; i < count; ++i) {
    if (at + 39 > bytes.size()) return false;
    CExchangeEntry e;
    e.id = bytes.substr(at, 8);
    std::string number = bytes.substr(at + 8, 4);
    e.number = number == "    " ? 0 : atoi(number.c_str());
    e.date = bytes.substr(at + 12, 8);
    e.start = bytes.substr(at + 20, 5);
    e.end = bytes.substr(at + 25, 5);
    e.status = bytes[at + 30];
    e.alarm = bytes.substr(at + 31, 3);
    e.repeat = bytes[at + 34];
    int length = atoi(bytes.substr(at + 35, 4).c_str());
    if (length < 0 || at + 39 + static_cast<size_t>(length) + 2 > bytes.size()) return false;
    e.text = bytes.substr(at + 39, static_cast<size_t>(length));
    at += 39 + static_cast<size_t>(length) + 2;
    entries->push_back(e);
  }
  return at == bytes.size();
}

inline std::string ExchangeLine(const CExchangeEntry& e) {
  char head[64];
  snprintf(head, sizeof head, "%s%04d%s%s%s%c%s%c%04d", e.id.c_str(), e.number, e.date.c_str(),
           e.start.c_str(), e.end.c_str(), e.status, e.alarm.c_str(), e.repeat,
           static_cast<int>(e.text.size()));
  return head + e.text + "\r\n";
}

inline std::string ExchangeFile(const std::vector<CExchangeEntry>& entries) {
  char count[8];
  snprintf(count, sizeof count, "%04d", static_cast<int>(entries.size()));
  std::string file = count;
  for (const CExchangeEntry& e : entries) file += ExchangeLine(e);
  return file;
}

class CHostCalendar {
 public:
  // Adds an entry as the host user would (no handheld ID); answers its host entry number.
  int Add(const std::string& date, const std::string& start, const std::string& end,
          const std::string& text) {
    CExchangeEntry e;
    e.date = date;
    e.start = start;
    e.end = end;
    e.text = text;
    e.number = next_number_++;
    entries_.push_back(e);
    return e.number;
  }
  // The first entry with this text, or null.
  CExchangeEntry* Find(const std::string& text) {
    for (CExchangeEntry& e : entries_) {
      if (e.text == text) return &e;
    }
    return nullptr;
  }
  // Entries on a date (YYYYMMDD) with this text.
  CExchangeEntry* FindOn(const std::string& date, const std::string& text) {
    for (CExchangeEntry& e : entries_) {
      if (e.text == text && e.date == date) return &e;
    }
    return nullptr;
  }
  void Remove(const CExchangeEntry* entry) {
    entries_.erase(std::remove_if(entries_.begin(), entries_.end(),
                                  [&](const CExchangeEntry& e) { return &e == entry; }),
                   entries_.end());
  }
  void RemoveAll(const std::string& text) {
    entries_.erase(std::remove_if(entries_.begin(), entries_.end(),
                                  [&](const CExchangeEntry& e) { return e.text == text; }),
                   entries_.end());
  }
  // A copy of an entry, as a host user's copy and paste makes it (the ID goes with it).
  int Copy(const CExchangeEntry& entry, const std::string& date) {
    CExchangeEntry e = entry;
    e.date = date;
    e.number = next_number_++;
    entries_.push_back(e);
    return e.number;
  }

  // The extract: every entry whose date (YYYYMMDD) lies from first to last, both included, in
  // order of date and time, with status 0.
  std::string Extract(const std::string& first = "00000000",
                      const std::string& last = "99999999") const {
    std::vector<CExchangeEntry> sorted;
    for (const CExchangeEntry& e : entries_) {
      if (first <= e.date && e.date <= last) sorted.push_back(e);
    }
    std::stable_sort(sorted.begin(), sorted.end(),
                     [](const CExchangeEntry& a, const CExchangeEntry& b) {
                       return std::tie(a.date, a.start) < std::tie(b.date, b.start);
                     });
    for (CExchangeEntry& e : sorted) e.status = '0';
    return ExchangeFile(sorted);
  }

  // Applies an update file as a driver does: deleted entries go, added ones come with a new
  // host entry number, modified ones are replaced, and every entry takes the ID the update gives.
  bool Apply(const std::string& update) {
    std::vector<CExchangeEntry> lines;
    if (!ParseExchangeFile(update, &lines)) return false;
    for (const CExchangeEntry& line : lines) {
      CExchangeEntry* known = ByNumber(line.number);
      switch (line.status) {
        case '2':
          if (known != nullptr) Remove(known);
          break;
        case '1': {
          CExchangeEntry e = line;
          e.number = next_number_++;
          e.status = '0';
          entries_.push_back(e);
          break;
        }
        case '3':
          if (known != nullptr) {
            const int number = known->number;
            *known = line;
            known->number = number;
            known->status = '0';
          }
          break;
        default:
          if (known != nullptr) known->id = line.id;
          break;
      }
    }
    return true;
  }

  // The entries in the compact form, sorted.
  std::vector<std::string> Briefs() const {
    std::vector<std::string> out;
    for (CExchangeEntry e : entries_) {
      e.status = '0';
      out.push_back(e.Brief());
    }
    std::sort(out.begin(), out.end());
    return out;
  }
  std::vector<CExchangeEntry>& entries() { return entries_; }

 private:
  CExchangeEntry* ByNumber(int number) {
    if (number == 0) return nullptr;
    for (CExchangeEntry& e : entries_) {
      if (e.number == number) return &e;
    }
    return nullptr;
  }

  std::vector<CExchangeEntry> entries_;
  int next_number_ = 1;
};

}  // namespace test_support

#endif  // DBC_TESTS_SUPPORT_HOST_CALENDAR_H_
