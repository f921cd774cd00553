// Whole synchronisations through OpenConduit with script_driver and the emulated handheld: the
// first synchronisation, a second one with nothing changed, the log lines of a run.
#include <gtest/gtest.h>

#include "tests/support/sync_harness.h"

namespace {

using test_support::At;
using test_support::CHandheldEvent;
using test_support::CSyncHarness;
using test_support::Line;

TEST(SyncBasicsTest, FirstSyncThenNothingChanged) {
  CSyncHarness h;
  h.host.Add("20240116", "09:00", "10:00", "Dentist");
  CHandheldEvent lunch;
  lunch.start = At(2024, 1, 17, 12, 0);
  lunch.description = "Lunch";
  lunch.attributes = kRecAttrDirty;
  h.PutHandheld(lunch);

  EXPECT_EQ(0, h.Sync());
  for (const auto& l : h.Update()) printf("U %s\n", l.c_str());
  for (const auto& l : h.Handheld()) printf("H %s\n", l.c_str());
  for (const auto& l : h.log()) printf("L %d %s\n", l.activity, l.text.c_str());
  EXPECT_EQ(0, h.Sync());
  for (const auto& l : h.Update()) printf("U %s\n", l.c_str());
  for (const auto& l : h.Handheld()) printf("H %s\n", l.c_str());
  for (const auto& l : h.log()) printf("L %d %s\n", l.activity, l.text.c_str());
}

}  // namespace
