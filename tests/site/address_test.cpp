#include "site/address.h"

#include <gtest/gtest.h>

namespace pindlewick::site {
namespace {

struct AddressCase {
  const char* address;
  AddressReading reading;
};

const NamesVideo kBv{"BV1xx411c7mD"};
const NamesVideo kAv170001{"BV17x411w7KC"};

TEST(ReadAddress, VideoPagesAndBareIds) {
  const AddressCase cases[] = {
      {"https://www.bilibili.com/video/BV1xx411c7mD", kBv},
      {"http://www.bilibili.com/video/BV1xx411c7mD", kBv},
      {"https://bilibili.com/video/BV1xx411c7mD", kBv},
      {"https://m.bilibili.com/video/BV1xx411c7mD", kBv},
      {"HTTPS://WWW.BILIBILI.COM/video/BV1xx411c7mD", kBv},
      {"https://www.bilibili.com/video/BV1xx411c7mD/", kBv},
      {"https://www.bilibili.com/video/BV1xx411c7mD?p=3&vd_source=0a1b", kBv},
      {"https://www.bilibili.com/video/BV1xx411c7mD/?p=3#reply42", kBv},
      {"https://www.bilibili.com/video/BV1xx411c7mD#t=12", kBv},
      {"https://www.bilibili.com/video/av170001", kAv170001},
      {"https://www.bilibili.com/video/AV170001/?p=2", kAv170001},
      {"BV1xx411c7mD", kBv},
      {"  BV1xx411c7mD\t", kBv},
      {"av170001", kAv170001},
      {"Av170001", kAv170001},
  };
  for (const AddressCase& c : cases) EXPECT_EQ(readAddress(c.address), c.reading) << c.address;
}

TEST(ReadAddress, OtherWebAddressesAreFollowed) {
  const char* const addresses[] = {
      "https://b23.tv/mx00St",
      "https://b23.tv/BV1xx411c7mD",
      "http://b23.tv/av170001",
      "https://www.bilibili.com/bangumi/play/ep1234",
      "https://www.bilibili.com:443/video/BV1xx411c7mD",  // not the site's own spelling: ask it
      "http://127.0.0.1:8080/s/abc",
  };
  for (const char* address : addresses) {
    EXPECT_EQ(readAddress(address), AddressReading(FollowAddress{address})) << address;
  }
}

TEST(ReadAddress, TextsThatNameNoVideo) {
  const char* const addresses[] = {
      "",
      "   ",
      "BV1xx411c7m",                                  // a character short
      "BV1xx411c7mDD",
      "av",
      "av0",
      "av2251799813685248",                           // 2^51, past every av number
      "av12x",
      "170001",
      "https://www.bilibili.com/video/",
      "https://www.bilibili.com/video/BV1xx411c7m/",  // a video page whose id is broken
      "https://www.bilibili.com/video/av0",
      "ftp://www.bilibili.com/video/BV1xx411c7mD",
      "www.bilibili.com/video/BV1xx411c7mD",          // no scheme
      "https:///video/BV1xx411c7mD",
  };
  for (const char* address : addresses) {
    EXPECT_EQ(readAddress(address), AddressReading(NamesNoVideo{})) << address;
  }
}

TEST(ResolveLocation, AbsoluteRootedAndRelativeLocations) {
  const struct {
    const char* from;
    const char* location;
    const char* resolved;
  } cases[] = {
      {"https://b23.tv/mx00St", "https://www.bilibili.com/video/BV1xx411c7mD?p=1",
       "https://www.bilibili.com/video/BV1xx411c7mD?p=1"},
      {"https://b23.tv/mx00St", "//m.bilibili.com/video/av2", "https://m.bilibili.com/video/av2"},
      {"http://127.0.0.1:81/s/a?x=1", "/s/b", "http://127.0.0.1:81/s/b"},
      {"http://127.0.0.1:81/s/a?x=/y", "b?z=1", "http://127.0.0.1:81/s/b?z=1"},
      {"http://127.0.0.1:81", "b", "http://127.0.0.1:81/b"},
  };
  for (const auto& c : cases) EXPECT_EQ(resolveLocation(c.from, c.location), c.resolved) << c.location;
}

}  // namespace
}  // namespace pindlewick::site
