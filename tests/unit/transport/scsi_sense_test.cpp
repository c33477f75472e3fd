#include "transport/scsi_sense.h"

#include <gtest/gtest.h>

#include <vector>

namespace {

using transport::ParseSense;
using transport::ScsiSense;
using transport::TaskFile;
using Bytes = std::vector<std::uint8_t>;

// 32 bytes of sense area with the given bytes at its start.
Bytes Area(Bytes head) {
  head.resize(32, 0);
  return head;
}

// A descriptor-format header followed by descriptors.
Bytes Descriptor(std::uint8_t key, std::uint8_t asc, std::uint8_t ascq,
                 const std::vector<Bytes>& descriptors) {
  Bytes b = {0x72, key, asc, ascq, 0, 0, 0, 0};
  for (const Bytes& d : descriptors) b.insert(b.end(), d.begin(), d.end());
  b[7] = std::uint8_t(b.size() - 8);
  return Area(b);
}

const Bytes kAtaReturn = {0x09, 0x0C, 0x00, 0x04, 0x00, 0x01, 0x00,
                          0x9A, 0x00, 0x4F, 0x00, 0xC2, 0xA0, 0x51};

TEST(ScsiSense, HeaderFieldsOfBothFormats) {
  struct Case {
    const char* name;
    Bytes sense;
    bool valid;
    std::array<std::uint8_t, 8> parsed;
  };
  const Case cases[] = {
      {"no sense", Area({}), false, {}},
      {"response code without bits 70h", Area({0x60, 0, 5, 0, 0, 0, 0, 10}), false, {}},
      {"fixed, current",
       Area({0x70, 0, 0x05, 0, 0, 0, 0, 10, 0, 0, 0, 0, 0x20, 0x01}),
       true,
       {0x70, 0x05, 0x20, 0x01, 0, 0, 0, 0}},
      {"fixed with the valid bit and a flag in the key byte",
       Area({0xF1, 0, 0x2B, 0, 0, 0, 0, 10, 0, 0, 0, 0, 0x00, 0x1D}),
       true,
       {0x71, 0x0B, 0x00, 0x1D, 0, 0, 0, 0}},
      // An additional length of 4 ends the sense before ASC and ASCQ.
      {"fixed, too short for ASC",
       Area({0x70, 0, 0x03, 0, 0, 0, 0, 4, 0, 0, 0, 0, 0x11, 0x22}),
       true,
       {0x70, 0x03, 0, 0, 0, 0, 0, 0}},
      {"fixed, long enough for ASC only",
       Area({0x70, 0, 0x03, 0, 0, 0, 0, 5, 0, 0, 0, 0, 0x11, 0x22}),
       true,
       {0x70, 0x03, 0x11, 0, 0, 0, 0, 0}},
      {"descriptor, current", Descriptor(0x0B, 0x00, 0x1D, {}), true, {0x72, 0x0B, 0, 0x1D}},
      {"descriptor, deferred",
       Area({0x73, 0x06, 0x29, 0x00, 0, 0, 0, 0}),
       true,
       {0x73, 0x06, 0x29, 0x00, 0, 0, 0, 0}},
  };
  for (const Case& c : cases) {
    const ScsiSense s = ParseSense(c.sense);
    EXPECT_EQ(s.bValid, c.valid) << c.name;
    EXPECT_EQ(s.parsed, c.parsed) << c.name;
    EXPECT_FALSE(s.bHasAtaReturn) << c.name;
  }
}

TEST(ScsiSense, TheAtaStatusReturnDescriptorIsFoundAmongOthers) {
  struct Case {
    const char* name;
    Bytes sense;
    bool found;
  };
  const Case cases[] = {
      {"alone", Descriptor(0x0B, 0, 0x1D, {kAtaReturn}), true},
      {"after an information descriptor",
       Area({0x72, 0x0B, 0,    0x1D, 0,    0,    0,    26,   0x00, 0x0A, 0x80,
             0,    0,    0,    0,    0,    0,    0,    0,    0,    0x09, 0x0C,
             0x00, 0x04, 0x00, 0x01, 0x00, 0x9A, 0x00, 0x4F, 0x00, 0xC2}),
       true},
      {"no additional length", Area({0x72, 0x0B, 0, 0x1D, 0, 0, 0, 0, 0x09, 0x0C}), false},
      {"fixed format never carries one",
       Area({0x70, 0, 0x0B, 0, 0, 0, 0, 10, 0x09, 0x0C, 0, 0, 0, 0x1D}), false},
  };
  for (const Case& c : cases) {
    const ScsiSense s = ParseSense(c.sense);
    EXPECT_EQ(s.bHasAtaReturn, c.found) << c.name;
  }

  const ScsiSense s = ParseSense(Descriptor(0x0B, 0, 0x1D, {kAtaReturn}));
  ASSERT_TRUE(s.bHasAtaReturn);
  EXPECT_EQ(s.ataReturnLength, 14u);
  EXPECT_EQ(s.parsed[7], 14);
  TaskFile tf = {0xFC, 0x01, 0, 0, 0, 0, 0xFF, 0x5A};
  transport::WriteBackRegisters(s, tf);
  EXPECT_EQ(tf, (TaskFile{0x04, 0x01, 0x9A, 0x4F, 0xC2, 0xA0, 0x51, 0x5A}))
      << "error, count, LBA, device and status come back; byte 7 stays";
}

TEST(ScsiSense, LengthsThatClaimMoreThanTheAreaHoldsStayInside) {
  // A descriptor length of 0FFh and an additional length of 0FFh: the walk is held to the 24
  // bytes after the header and the descriptor to 14 bytes of the area.
  Bytes claims = Area({0x72, 0x0B, 0, 0, 0, 0, 0, 0xFF, 0x01, 0xFF});
  EXPECT_FALSE(ParseSense(claims).bHasAtaReturn);

  // The descriptor starts 4 bytes before the end: only what the area holds is taken.
  Bytes late = Area({0x72, 0x0B, 0, 0, 0, 0, 0, 24});
  late[8] = 0x02;
  late[9] = 18;  // a 20-byte descriptor up to byte 28
  late[28] = 0x09;
  late[29] = 0x0C;
  late[30] = 0x00;
  late[31] = 0x04;  // error; count and the rest lie beyond the area
  const ScsiSense s = ParseSense(late);
  ASSERT_TRUE(s.bHasAtaReturn);
  EXPECT_EQ(s.ataReturnLength, 14u);
  EXPECT_EQ(s.ataReturn[3], 0x04);
  EXPECT_EQ(s.ataReturn[13], 0) << "bytes past the area read as 0";

  // Short buffers are read as far as they go.
  EXPECT_FALSE(ParseSense(Bytes{}).bValid);
  const ScsiSense shortFixed = ParseSense(Bytes{0x70, 0, 0x05});
  EXPECT_TRUE(shortFixed.bValid);
  EXPECT_EQ(shortFixed.SenseKey(), 0x05);

  // A declared length of 12..14 is held there; the registers keep their places.
  Bytes odd = Descriptor(0x0B, 0, 0x1D, {Bytes{0x09, 0x20, 0, 0x04}});
  EXPECT_EQ(ParseSense(odd).ataReturnLength, 14u);
  Bytes small = Descriptor(0x0B, 0, 0x1D, {Bytes{0x09, 0x02, 0, 0x04}});
  EXPECT_EQ(ParseSense(small).ataReturnLength, 12u);
}

}  // namespace
