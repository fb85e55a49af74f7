// The virtual KKT behind the driver's in-process transport: one device per
// process, whoever asks for it.

#include <gtest/gtest.h>

#include "tessel/KktDevice.h"
#include "tessel/vkkt/Device.h"
#include "tessel/vkkt/DeviceErrors.h"

using namespace vkkt;

TEST(VkktInProcess, EveryCallerReachesTheSameDevice) {
  tessel::SetInProcessDeviceFactory({});  // the default: a fresh virtual KKT
  const tessel::PKktDevice A = tessel::InProcessDevice();
  const tessel::PKktDevice B = tessel::InProcessDevice();
  ASSERT_TRUE(A);
  EXPECT_EQ(A, B);
  const std::string Status("\x11\x1E\x00\x00\x00", 5);  // administrator's password 30
  const std::string Answer = tessel::ExecuteInProcess(Status);
  ASSERT_EQ(Answer.size(), 2u + kStatusRecordSize);
  EXPECT_EQ(Answer[1], 0);
  EXPECT_EQ(static_cast<std::uint8_t>(Answer[2 + 15]), kModeShiftClosed);
  tessel::SetInProcessDeviceFactory({});
}
