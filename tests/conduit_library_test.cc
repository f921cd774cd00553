// The conduit as a host loads it: the shared library, its exports and nothing else visible.
#include <dlfcn.h>
#include <gtest/gtest.h>
#include <stdio.h>
#include <stdlib.h>
#include <string.h>

#include <set>
#include <string>

#include "sdk/records.h"

namespace {

// DBC_LIB_DIR, or the lib/ folder beside DBC_BIN_DIR (CTest may pass only the first variable of
// the list it was given).
std::string LibraryPath() {
  if (const char* dir = getenv("DBC_LIB_DIR")) return std::string(dir) + "/libdatebook_conduit.so";
  const char* bin = getenv("DBC_BIN_DIR");
  return std::string(bin ? bin : ".") + "/../lib/libdatebook_conduit.so";
}

class ConduitLibraryTest : public ::testing::Test {
 protected:
  void SetUp() override {
    handle_ = dlopen(LibraryPath().c_str(), RTLD_NOW | RTLD_LOCAL);
    ASSERT_NE(nullptr, handle_) << dlerror();
  }
  void TearDown() override {
    if (handle_) dlclose(handle_);
  }
  template <typename F>
  F Find(const char* name) {
    return reinterpret_cast<F>(dlsym(handle_, name));
  }
  void* handle_ = nullptr;
};

TEST_F(ConduitLibraryTest, ExportsAnswerNameVersionAndNullContext) {
  auto version = Find<int32_t (*)()>("GetConduitVersion");
  auto name = Find<int32_t (*)(char*, int32_t)>("GetConduitName");
  auto open = Find<int32_t (*)(void*, HotSyncProps*)>("OpenConduit");
  ASSERT_TRUE(version && name && open && Find<void*>("ConfigureConduit"));
  EXPECT_EQ(257, version());
  char buffer[80] = {};
  EXPECT_EQ(0, name(buffer, sizeof buffer));
  EXPECT_STREQ("Date Book", buffer);
  HotSyncProps props;
  memset(&props, 0, sizeof props);
  EXPECT_EQ(0, open(nullptr, &props));
}

TEST_F(ConduitLibraryTest, OnlyTheFourExportsAreVisible) {
  std::string command = "nm -D --defined-only '" + LibraryPath() + "'";
  FILE* pipe = popen(command.c_str(), "r");
  ASSERT_NE(nullptr, pipe);
  std::set<std::string> functions;
  char line[512];
  while (fgets(line, sizeof line, pipe)) {
    char address[64], type[8], symbol[400];
    if (sscanf(line, "%63s %7s %399s", address, type, symbol) == 3 && strcmp(type, "T") == 0) {
      functions.insert(symbol);
    }
  }
  ASSERT_EQ(0, pclose(pipe));
  EXPECT_EQ((std::set<std::string>{"ConfigureConduit", "GetConduitName", "GetConduitVersion",
                                   "OpenConduit"}),
            functions);
}

}  // namespace
