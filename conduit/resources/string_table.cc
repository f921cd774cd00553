// The conduit's string table (English, United States). Texts are exact, blanks included.
#include "conduit/resources/string_table.h"

namespace {

struct StringEntry {
  uint32_t id;
  const char* text;
};

constexpr StringEntry kStrings[] = {
    {3301, "Date Book"},
    {3302, "Address Book"},
    {3303, "Memo Pad"},
    {3304, "To Do List"},
    {3305, ", Due: "},
    {3306, "No Due Date"},
    {3307, ", Priority: "},
    {3308, "am"},
    {3309, "pm"},
    {3310, "Untimed"},
    {3311, "     Please check your connections and try again."},
    {3312, "     Your Rizez may be full.  Check the Rizez's Memory Application."},
    {3313, "     Your Desktop disk may be full.  Check the disk space and HotSync again."},
    {3314, "Desktop"},
    {3315, "   - Could not copy the following record to Rizez:"},
    {3316, "   - Could not purge the deleted records on Rizez."},
    {3317, "   - Could not delete the following record on Rizez:"},
    {3318, "   - Could not modify the following record on Rizez:"},
    {3319, "   - Could not copy the following record to the Desktop:"},
    {3320, "   - Could not move the Rizez records in category '"},
    {3321, "' to 'Unfiled'."},
    {3322, "   - Could not read the next Rizez record."},
    {3323, "   - Only 15 categories are allowed.  All records in category"},
    {3324, "     were changed to 'Unfiled'."},
    {3325, "category"},
    {3326, "has been deleted and all of"},
    {3327, "     the records in this category have been moved to 'Unfiled'."},
    {3328, "   - The following record was modified on both Rizez and the Desktop:"},
    {3329, "     This record will be duplicated on each platform."},
    {3330, "     Delete the unwanted record and HotSync again."},
    {3331, "   - The following record was modified on both Rizez and the Desktop:"},
    {3332, "     This record will be duplicated on each platform. The Rizez record marked to"},
    {3333, "     be archived was not archived.  Delete the unwanted record and HotSync again."},
    {3334, "   - The following record was modified on one platform and deleted on the other."},
    {3335, "     The modified version will appear on both platforms."},
    {3336, "   - Rizez Desktop does not support events before 1970.  The following"},
    {3337, "     event was moved to 1970:"},
    {3338, "   - Some Rizez records were not copied to the Desktop. Your computer may be"},
    {3339, "     full or you may have reached the maximum allowed records on the desktop."},
    {3340, "     To correct this situation, delete some records and HotSync again."},
    {3341, "   - Some Desktop records were not copied to Rizez. Your Rizez may be full."},
    {3342, "     To correct this situation, delete some records and HotSync again."},
    {3343, "   - A custom label was modified on the Desktop and Rizez.  The Rizez label '%s'"},
    {3344, "     was overwritten by the Desktop label '%s'"},
    {3345, "   - Records may not be sorted correctly on the Desktop."},
    {3346, "   - Some or all of your deleted records were not archived."},
    {3347, "   - Could not save the Desktop file."},
    {3348, "   - Could not clear Rizez's status flags."},
    {3349, "Install"},
    {3350, "Backup"},
    {3351, "   - Installed file: "},
    {3352, "   - Invalid Rizez file deleted: "},
    {3353, "Restore"},
    {3354, "   - Install failed: "},
    {3355, "   - Already exists: "},
    {3356, "   - Rizez Desktop does not support To Do items before 1970. The"},
    {3357, "     following To Do item was moved to 1970:"},
};

// The address of this object identifies the conduit module to the string-resource loader.
const char kConduitModuleMarker = 0;

}  // namespace

const void* ConduitModuleInstance() {
  return &kConduitModuleMarker;
}

const char* FindConduitString(uint32_t id) {
  if (id < kFirstStringId || id > kLastStringId) return nullptr;
  const StringEntry& entry = kStrings[id - kFirstStringId];
  return entry.id == id ? entry.text : nullptr;
}
