// Allocation failures that must answer a code. This test program replaces the nothrow array new
// so that a test can make the next such allocation fail; otherwise it allocates as usual.
#include <gtest/gtest.h>

#include <new>

#include "conduit/engine/sync_monitor.h"
#include "conduit/result_codes.h"

namespace {
bool fail_next_nothrow_array_new = false;
}  // namespace

void* operator new[](std::size_t size, const std::nothrow_t&) noexcept {
  if (fail_next_nothrow_array_new) {
    fail_next_nothrow_array_new = false;
    return nullptr;
  }
  try {
    return ::operator new[](size);
  } catch (...) {
    return nullptr;
  }
}

namespace {

TEST(AllocationFailureTest, AllocRecordBufferAnswersACodeAndLeavesTheSizeZero) {
  RecordRequest request{};
  request.buffer_size = 77;
  fail_next_nothrow_array_new = true;
  EXPECT_EQ(kErrNoRecordBuffer, CSyncMonitor::AllocRecordBuffer(&request, kRecordBufferSize));
  EXPECT_FALSE(fail_next_nothrow_array_new) << "the buffer was not allocated with nothrow new[]";
  EXPECT_EQ(0, request.buffer_size);
  EXPECT_EQ(nullptr, request.buffer);

  // The next allocation works again, and releasing a failed request is harmless.
  CSyncMonitor::FreeRecordBuffer(&request);
  ASSERT_EQ(kOk, CSyncMonitor::AllocRecordBuffer(&request, kRecordBufferSize));
  EXPECT_EQ(kRecordBufferSize, request.buffer_size);
  CSyncMonitor::FreeRecordBuffer(&request);
}

}  // namespace
