// The texts the enumeration parses: vendor and device IDs in instance identifiers, class
// GUIDs, and the strings of a storage device descriptor.
#include "devices/device_node.h"

#include <gtest/gtest.h>

#include <vector>

#include "devices/dev_mgr.h"
#include "devices/guid_text.h"

namespace {

using devices::VendorDevice;

TEST(VendorDeviceIds, AreReadFromPciAndUsbIdentifiers) {
  struct Case {
    const char* id;
    VendorDevice ids;
  };
  const Case cases[] = {
      {"PCI\\VEN_8086&DEV_2822&SUBSYS_86941043&REV_10\\3&11583659&0&B8", {0x8086, 0x2822}},
      {"USB\\VID_152D&PID_0578\\0000000000001234", {0x152D, 0x0578}},
      {"pci\\ven_1b21&dev_0612\\4&1", {0x1B21, 0x0612}},  // identifiers ignore letter case
      {"PCI\\VEN_0x12&DEV_0X34\\0", {0x12, 0x34}},        // a C-style prefix within the four
      // Not hexadecimal: the pair stays 0, and the next node up is asked.
      {"PCI\\VEN_80G6&DEV_2822\\3&0", {0, 0}},
      {"PCI\\VEN_8086&DEV_28 2\\3&0", {0, 0}},
      {"PCI\\VEN_0x&DEV_2822\\3&0", {0, 0}},
      // USB identifiers carry VID_ and PID_; a hub or a storage node has none.
      {"USB\\ROOT_HUB30\\4&2F1D9C1E&0&0", {0, 0}},
      {"USBSTOR\\DISK&VEN_JMICRON&PROD_TECH\\0&0", {0, 0}},
      // One of the two missing, or cut short at the end.
      {"PCI\\VEN_8086\\3&0", {0, 0}},
      {"PCI\\VEN_8086&DEV_28", {0, 0}},
      {"ACPI\\PNP0A08\\0", {0, 0}},
      {"", {0, 0}},
  };
  for (const Case& c : cases) EXPECT_EQ(devices::ParseVendorDevice(c.id), c.ids) << c.id;
}

TEST(ClassGuidText, ParsesWhatWindowsWritesAndRefusesTheRest) {
  const os::Guid hdc = os::kGUID_DEVCLASS_HDC;
  EXPECT_EQ(devices::GuidFromText("{4d36e96a-e325-11ce-bfc1-08002be10318}"), hdc);
  EXPECT_EQ(devices::GuidFromText("4D36E96A-E325-11CE-BFC1-08002BE10318"), hdc);
  EXPECT_EQ(devices::GuidToText(hdc), "{4D36E96A-E325-11CE-BFC1-08002BE10318}");
  for (const char* bad :
       {"", "{4d36e96a-e325-11ce-bfc1-08002be1031}", "{4d36e96a-e325-11ce-bfc1-08002be1031x}",
        "{4d36e96a+e325-11ce-bfc1-08002be10318}", "4d36e96a-e325-11ce-bfc1"})
    EXPECT_FALSE(devices::GuidFromText(bad)) << bad;
}

// A descriptor field is read within its width and within the bytes the driver returned,
// whatever offset the driver wrote.
TEST(DescriptorText, StaysInsideTheFieldAndTheReturnedBytes) {
  std::vector<std::uint8_t> d(56, 0);
  const char text[] = "K5FW0150XY";
  std::copy(text, text + 10, d.begin() + 40);
  struct Case {
    std::uint32_t offset;
    std::size_t returned;
    std::size_t width;
    const char* expected;
  };
  const Case cases[] = {
      {40, 56, 8, "K5FW0150"},  // full width: no terminator needed
      {40, 56, 20, "K5FW0150XY"},
      {0, 56, 8, ""},           // no such field
      {40, 44, 8, "K5FW"},      // the answer was cut short
      {56, 56, 8, ""},          // just past the end
      {0xFFFFFFF0, 56, 8, ""},  // far beyond it
  };
  for (const Case& c : cases)
    EXPECT_EQ(devices::DescriptorText(std::span(d).first(c.returned), c.offset, c.width),
              c.expected)
        << c.offset << " in " << c.returned;
}

}  // namespace
