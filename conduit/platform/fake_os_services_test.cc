#include "conduit/platform/fake_os_services.h"

#include <gtest/gtest.h>

namespace {

TEST(FakeOsTest, RegistryFollowsTheSameReadRules) {
  CFakeOsServices os;
  os.SetTextValue("Conduits/DateBook", "DriverPath", std::string(199, 'd'));
  SettingsKey key = nullptr;
  ASSERT_EQ(0, os.OpenKey(os.root(), "Conduits/DateBook", false, &key));
  char buffer[200];
  EXPECT_EQ(0, os.ReadValue(key, "DriverPath", buffer, sizeof buffer));
  os.SetTextValue("Conduits/DateBook", "DriverPath", std::string(200, 'd'));
  EXPECT_NE(0, os.ReadValue(key, "DriverPath", buffer, sizeof buffer));
  EXPECT_EQ(0, os.SetText(key, "Install", "", 0));
  EXPECT_EQ("", os.TextValue("Conduits/DateBook", "Install"));
  os.CloseKey(key);
  EXPECT_NE(0, os.OpenKey(os.root(), "Conduits/None", false, &key));
}

TEST(FakeOsTest, ProcessesFollowTheirScriptsAndAreRecorded) {
  CFakeOsServices os;
  os.scripts.push_back({0, 3, 2});
  os.scripts.push_back({2, 0, 0});
  ProcessHandle p = 0;
  const char block[] = "PATH=x;\0";
  ASSERT_EQ(0, os.CreateProcess("drv extract", block, &p));
  int32_t code = 0;
  os.GetExitCode(p, &code);
  EXPECT_EQ(kOsStillActive, code);
  os.GetExitCode(p, &code);
  os.GetExitCode(p, &code);
  EXPECT_EQ(3, code);
  EXPECT_EQ(2, os.CreateProcess("drv update", block, &p));
  ASSERT_EQ(2u, os.launches.size());
  EXPECT_EQ(std::string("PATH=x;\0\0", 9), os.launches[0].raw_environment);
}

}  // namespace
