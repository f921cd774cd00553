// CProfsMonitor's own fields: the conduit title, the archive extension and the date window.
#include "conduit/hostcal/profs_monitor.h"

#include <gtest/gtest.h>
#include <string.h>

#include "conduit/platform/fake_os_services.h"
#include "conduit/resources/string_table.h"

namespace {

class CProbe : public CProfsMonitor {
 public:
  using CProfsMonitor::CProfsMonitor;
  const char* extension() const { return archive_extension_; }
  bool has_converter() const { return converter_ != nullptr; }
};

TEST(ProfsMonitorTest, TitleExtensionConverterAndWindow) {
  CFakeOsServices os;
  HotSyncProps props;
  memset(&props, 0, sizeof props);
  CProbe monitor(props, ConduitModuleInstance(), os);
  EXPECT_STREQ(".DBA", monitor.extension());
  EXPECT_TRUE(monitor.has_converter());

  char title[128];
  memset(title, 'x', sizeof title);
  monitor.GetConduitTitle(title, sizeof title);
  EXPECT_STREQ("Date Book", title);
  monitor.GetConduitTitle(title, 5);
  EXPECT_STREQ("Date", title);

  monitor.SetWindow(-86400, 2147483647);
  EXPECT_EQ(-86400, monitor.window_start());
  EXPECT_EQ(2147483647, monitor.window_end());
}

}  // namespace
