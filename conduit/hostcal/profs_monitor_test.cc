// CProfsMonitor's own fields: the conduit title and the archive extension.
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

TEST(ProfsMonitorTest, TitleExtensionAndConverter) {
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
}

}  // namespace
