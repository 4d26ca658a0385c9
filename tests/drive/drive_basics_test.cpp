#include <gtest/gtest.h>

#include "drive/drive.h"
#include "support/fake_transport.h"

namespace dorvik {
namespace {

TEST(DriveBasics, ConstructionSendsInquiryThenCapabilityPage) {
  test::FakeTransport t;
  Recorder r(3, &t);
  ASSERT_EQ(t.commands.size(), 2u);
  EXPECT_EQ(t.commands[0].cdb, (std::vector<uint8_t>{0x12, 0, 0, 0, 0x60, 0}));
  EXPECT_EQ(t.commands[1].cdb, (std::vector<uint8_t>{0x5A, 0, 0x2A, 0, 0, 0, 0, 0x04, 0x00, 0}));
}

}  // namespace
}  // namespace dorvik
