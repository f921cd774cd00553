#include <cstdio>
#include <cstdlib>
#include <cstring>

#include "host/handheld/date_book.h"
#include "host/handheld/handheld_commands.h"

namespace {

// Options of the commands that take a value: the word after them is never a global option.
const char* const kValueOptions[] = {"--date",     "--start", "--end",        "--description",
                                     "--note",     "--alarm", "--repeat",     "--every",
                                     "--days",     "--until", "--week-start", "--except",
                                     "--category", "--id",    "--attributes"};

const char kUsage[] =
    "usage: handheld [--home DIR] COMMAND [ARGS]   (handheld COMMAND --help for more)\n"
    "\n"
    "What a person does on the emulated handheld's Date Book, as hotsync is the desktop's side.\n"
    "It works on the device image of a hotsync home (--home DIR, default $HOTSYNC_HOME, else\n"
    "~/.hotsync) and never sets one up: run hotsync once for that.\n"
    "\n"
    "Commands:\n"
    "  list [--json] [--all]      the Date Book's records in record order\n"
    "  add --date YYYY-MM-DD --description TEXT [OPTIONS]\n"
    "                             adds an event; prints its new ID\n"
    "  edit ID [OPTIONS]          changes only what is given\n"
    "  delete ID                  marks the record deleted; its data is dropped\n"
    "  archive ID                 marks the record deleted and archived, keeping its data\n"
    "  categories [--json]        the categories; also: categories add NAME, categories rename\n"
    "                             OLD NEW, categories delete NAME\n"
    "  raw read ID                a record's attributes, category and data bytes in hex\n"
    "  raw write [--id ID] [--attributes HEX] [--category N] HEX\n"
    "                             stores data bytes as they are\n"
    "  reset                      the state of a hard-reset handheld\n"
    "\n"
    "Exit status: 0 success; 1 not found or refused (also a missing home or device image, or a\n"
    "damaged or foreign one); 2 bad usage.\n";

const char kEventOptions[] =
    "  --date YYYY-MM-DD          the event's day (1904 to 2031)\n"
    "  --start HH:MM --end HH:MM  its time; without them an added event is untimed\n"
    "  --description TEXT         at most 4095 bytes, no NUL and no carriage return\n"
    "  --note TEXT                the same\n"
    "  --alarm N(m|h|d)           N (0 to 255) minutes, hours or days before the start\n"
    "  --repeat KIND              daily, weekly, monthly-by-day, monthly-by-date or yearly; for\n"
    "                             monthly-by-day the week and weekday come from the date (days\n"
    "                             29 to 31 are the last week)\n"
    "  --every N                  every N days, weeks, months or years (1 to 255, default 1)\n"
    "  --days mon,wed,...         weekly: the days (default the date's weekday)\n"
    "  --until YYYY-MM-DD         the last day of the repeat (default none)\n"
    "  --week-start sun|mon       the first day of the week (not for daily; default sun)\n"
    "  --except YYYY-MM-DD        a day on which the event does not occur (repeatable)\n"
    "  --private                  a private record\n"
    "  --category NAME            one of the handheld's categories (default Unfiled)\n";

struct CCommandUsage {
  const char* command;
  const char* head;
  bool event_options;
  const char* tail;
};

const CCommandUsage kCommands[] = {
    {"list",
     "usage: handheld list [--json] [--all]\n"
     "\n"
     "The Date Book's records in record order; without --all, records marked deleted or archived\n"
     "are left out. One line per record: ID, flags (D dirty, X deleted, A archived), date, time\n"
     "or \"untimed\", description (line breaks as \\n), and [repeat alarm note private] marks.\n"
     "--json: one JSON object per line with the keys id, dirty, deleted, archived, private,\n"
     "category, category_index, date, start, end, alarm, repeat, exceptions, description, note; a\n"
     "deleted record has only id, the flags and category, and a record whose bytes do not parse\n"
     "shows \"malformed\": true in place of its content.\n",
     false, ""},
    {"add",
     "usage: handheld add --date YYYY-MM-DD --description TEXT [OPTIONS]\n"
     "\n"
     "Adds an event as the handheld's own application does (marked dirty, a new ID from the\n"
     "device) and prints the new ID alone on a line.\n"
     "\n",
     true, ""},
    {"edit",
     "usage: handheld edit ID [OPTIONS]\n"
     "\n"
     "Changes only what is given and marks the record dirty. The options of add, and:\n"
     "\n",
     true,
     "  --untimed                  makes the event untimed\n"
     "  --no-alarm, --no-repeat (also drops the exceptions), --no-note, --public,\n"
     "  --clear-exceptions (before the --except days are added)\n"},
    {"delete",
     "usage: handheld delete ID\n"
     "\n"
     "Marks the record deleted and dirty; its data is dropped, as on the device.\n",
     false, ""},
    {"archive",
     "usage: handheld archive ID\n"
     "\n"
     "Marks the record deleted, archived and dirty, keeping its data for the desktop's archive.\n",
     false, ""},
    {"categories",
     "usage: handheld categories [--json]\n"
     "       handheld categories add NAME\n"
     "       handheld categories rename OLD NEW\n"
     "       handheld categories delete NAME\n"
     "\n"
     "The Date Book's categories: index, name, ID and whether the name was changed on the\n"
     "handheld since the last sync (--json: {\"index\",\"name\",\"id\",\"renamed\"} per line).\n"
     "Names have 1 to 15 bytes; 15 categories at most besides Unfiled, which cannot be renamed or\n"
     "deleted. A new category gets a free ID from 128 on. A deleted category's records move to\n"
     "Unfiled and are marked dirty.\n",
     false, ""},
    {"raw",
     "usage: handheld raw read ID\n"
     "       handheld raw write [--id ID] [--attributes HEX] [--category N] HEX\n"
     "\n"
     "read prints \"id: N\", \"attributes: HH\" (hex), \"category: N\" and \"data: HEX\", one per\n"
     "line. write stores the data bytes as they are, for trying malformed records: a new record\n"
     "unless --id names one (which is replaced, or added under that ID), attributes 40 (dirty)\n"
     "and category 0 unless given; it prints the record's ID.\n",
     false, ""},
    {"reset",
     "usage: handheld reset\n"
     "\n"
     "Puts the handheld in the state of a hard reset: an empty Date Book, no categories but\n"
     "Unfiled, and no memory of the desktop it last synchronised with, so that the next HotSync\n"
     "is a first synchronisation from the handheld's side. The user name stays.\n",
     false, ""},
};

}  // namespace

bool ParseHandheldOptions(const std::vector<std::string>& argv, HandheldOptions* options,
                          std::string* error) {
  for (size_t i = 0; i < argv.size(); ++i) {
    const std::string& arg = argv[i];
    if (arg == "--home") {
      if (i + 1 >= argv.size() || argv[i + 1].empty()) {
        *error = "--home needs a folder";
        return false;
      }
      options->home = argv[++i];
      continue;
    }
    if (arg == "--help" || arg == "-h") {
      options->help = true;
      continue;
    }
    if (options->command.empty()) {
      options->command = arg;
      continue;
    }
    options->args.push_back(arg);
    for (const char* value_option : kValueOptions) {
      if (arg == value_option && i + 1 < argv.size()) {
        options->args.push_back(argv[++i]);
        break;
      }
    }
  }
  return true;
}

const char* HandheldUsage(const std::string& command) {
  if (command.empty()) return kUsage;
  static std::string text;
  for (const CCommandUsage& c : kCommands) {
    if (command != c.command) continue;
    text = std::string(c.head) + (c.event_options ? kEventOptions : "") + c.tail;
    return text.c_str();
  }
  return nullptr;
}

int RunHandheld(const HandheldOptions& options) {
  if (options.help) {
    const char* usage = HandheldUsage(options.command);
    if (usage == nullptr)
      return HandheldError(kHandheldUsage, "unknown command " + options.command);
    std::fputs(usage, stdout);
    return kHandheldOk;
  }
  const std::string& c = options.command;
  if (c.empty()) return HandheldError(kHandheldUsage, "no command given (see handheld --help)");
  if (c == "list") return RunList(options);
  if (c == "add") return RunAdd(options);
  if (c == "edit") return RunEdit(options);
  if (c == "delete") return RunDelete(options, false);
  if (c == "archive") return RunDelete(options, true);
  if (c == "categories") return RunCategories(options);
  if (c == "raw") return RunRaw(options);
  if (c == "reset") return RunReset(options);
  return HandheldError(kHandheldUsage, "unknown command " + c + " (see handheld --help)");
}

int HandheldError(int status, const std::string& message) {
  std::fprintf(stderr, "handheld: %s\n", message.c_str());
  return status;
}

bool Connect(const HandheldOptions& options) {
  std::string error;
  if (ConnectHandheld(options.home, &error)) return true;
  HandheldError(kHandheldRefused, error);
  return false;
}

bool ParseRecordId(const std::string& text, uint32_t* id) {
  if (text.empty() || text.size() > 10 ||
      text.find_first_not_of("0123456789") != std::string::npos) {
    return false;
  }
  const unsigned long long value = std::strtoull(text.c_str(), nullptr, 10);
  if (value == 0 || value > 0xFFFFFFFFull) return false;
  *id = static_cast<uint32_t>(value);
  return true;
}
