#include "site/wbi.h"

#include <gtest/gtest.h>

#include "site/md5.h"

namespace pindlewick::site {
namespace {

constexpr std::string_view kImgKey = "7cd084941338484aae1ad9425b84077c";
constexpr std::string_view kSubKey = "4932caff0ff746eab6f01bf08b70ac45";
constexpr std::string_view kMixin = "ea1db124af3c7062474693fa704f4ff8";

TEST(Md5Hex, KnownDigests) {
  EXPECT_EQ(md5Hex(""), "d41d8cd98f00b204e9800998ecf8427e");
  EXPECT_EQ(md5Hex("abc"), "900150983cd24fb0d6963f7d28e17f72");
  EXPECT_EQ(md5Hex(std::string_view("a\0b", 3)), "70350f6027bce3713f6b76473084309b");
}

TEST(WbiKeyOfUrl, FileNameWithoutFolderAndExtension) {
  EXPECT_EQ(wbiKeyOfUrl("https://i0.hdslb.com/bfs/wbi/7cd084941338484aae1ad9425b84077c.png"), kImgKey);
  EXPECT_EQ(wbiKeyOfUrl("https://i0.hdslb.com/bfs/wbi/4932caff0ff746eab6f01bf08b70ac45"), kSubKey);
  EXPECT_EQ(wbiKeyOfUrl("4932caff0ff746eab6f01bf08b70ac45.png"), kSubKey);
}

TEST(Wbi, DocumentedTestVector) {
  EXPECT_EQ(mixinKey(kImgKey, kSubKey), kMixin);
  EXPECT_EQ(signedQuery({{"foo", "114"}, {"bar", "514"}, {"zab", "1919810"}}, kMixin, 1702204169),
            "bar=514&foo=114&wts=1702204169&zab=1919810&w_rid=8f6f2b5b3d485fe1886cec6a0be8c5d4");
}

TEST(Wbi, ValuesAreFilteredAndPercentEncodedBeforeSigning) {
  const std::string query =
      signedQuery({{"title", "a b!'()*c"}, {"name", "第一~集-_.[]"}, {"empty", ""}}, kMixin, 1);
  const std::string expectedQuery =
      "empty=&name=%E7%AC%AC%E4%B8%80~%E9%9B%86-_.%5B%5D&title=a%20bc&wts=1";
  EXPECT_EQ(query, expectedQuery + "&w_rid=" + md5Hex(expectedQuery + std::string(kMixin)));
}

}  // namespace
}  // namespace pindlewick::site
