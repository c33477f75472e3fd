#include "discovery/dev_info.h"

#include <gtest/gtest.h>

namespace {

using namespace discovery;

TEST(DevInfo, FullFieldsHaveNoTerminatorAndAreReadWithinTheirWidth) {
  TDevInfoTable table;
  std::memset(table.data(), 0x41, sizeof table);
  ClearTable(table);
  for (const DevInfo& d : table) {
    EXPECT_FALSE(d.bExisted);
    EXPECT_EQ(FieldText(d.model), "");
    EXPECT_EQ(d.PortNumber, 0);
  }
  DevInfo& d = table[0];
  SetField(d.firmware, "ABCDEFGHIJ");  // cut to the width
  SetField(d.serial, "S1");
  std::memset(d.PPID, 'P', sizeof d.PPID);  // the next field follows without a gap
  EXPECT_EQ(FieldText(d.firmware), "ABCDEFGH");
  EXPECT_EQ(FieldText(d.serial), "S1");
  EXPECT_EQ(FieldText(d.PPID), std::string(32, 'P'));
  SetPath(d.devicePath, std::string(600, 'x'));
  EXPECT_EQ(d.devicePath[511], '\0');
  EXPECT_EQ(FieldText(d.devicePath).size(), 511u);
}

TEST(DevInfo, IdentityCopyAndClear) {
  TCurrentIdentity id;
  std::memset(&id, 0x7A, sizeof id);
  ClearCurrentIdentity(id);
  EXPECT_EQ(id.slotCount, 2);
  EXPECT_EQ(FieldText(id.model), "");
  SetField(id.model, "CORVANE K5 512GB");
  SetField(id.firmware, "K5FW0100");
  SetField(id.serial, "0123456789ABCDEFGHIJ");
  SetField(id.fwExt, "K5FW010A");
  DevInfo d{};
  SetField(d.model, "AN OLDER AND MUCH LONGER MODEL NAME TEXT");
  CopyIdentity(id, d);
  EXPECT_EQ(FieldText(d.model), "CORVANE K5 512GB");
  EXPECT_EQ(FieldText(d.checkModel), "CORVANE K5 512GB");
  EXPECT_EQ(FieldText(d.firmware), "K5FW0100");
  EXPECT_EQ(FieldText(d.serial), "0123456789ABCDEFGHIJ");
  EXPECT_EQ(FieldText(d.fwExt), "K5FW010A");
}

}  // namespace
