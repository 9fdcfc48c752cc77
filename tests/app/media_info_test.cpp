#include "app/media_info.h"

#include <gtest/gtest.h>

#include "text/codepage.h"

namespace pindlewick {
namespace {

// An answer page as the parse service writes it (UTF-8 here, GBK on the wire).
Text answerPage(std::string_view link, std::string_view title) {
  return utf8ToGbk(std::string("<html><select><option>格式 FLV</option><option>格式 MP4 720P</option>"
                               "<option value=\"") +
                   std::string(link) +
                   "\">720P</option></select><label>标题</label><input value=\"" +
                   std::string(title) + "\" /><label>描述</label><input value=\"desc\" /></html>");
}

TEST(ExtractMediaInfo, TakesLinkExtensionAndTitle) {
  struct Case {
    std::string_view link;
    std::string_view title;
    Text extension;
  };
  const Case cases[] = {
      {"https://cdn.example.com/v/part1.mp4?sign=a.b&t=1", "第1集 入门", "mp4"},
      {"https://cdn.example.com/v/part1.flv", "title", "flv"},
      // No query and no dot in the path: everything after the host's last dot.
      {"https://cdn.example.com/v/part1", "t", "com/v/part1"},
      {"https://cdn.example.com/v/x.mp4?", "&amp; kept as is ", "mp4"},
  };
  for (const Case& c : cases) {
    const std::optional<MediaInfo> media = extractMediaInfo(answerPage(c.link, c.title));
    ASSERT_TRUE(media.has_value()) << c.link;
    EXPECT_EQ(media->mediaLink, TextView(c.link));
    EXPECT_EQ(media->extension, c.extension);
    EXPECT_EQ(media->title, utf8ToGbk(c.title));
  }
}

TEST(ExtractMediaInfo, MissingMarkersGiveNothing) {
  const Text good = answerPage("https://cdn.example.com/a.mp4", "t");
  ASSERT_TRUE(extractMediaInfo(good).has_value());
  const char* removedMarkers[] = {"格式 MP4", "标题", "value=\"t"};
  for (const char* marker : removedMarkers) {
    const Text gbkMarker = utf8ToGbk(marker);
    const Text broken = replaceText(good, gbkMarker, "", std::nullopt, 1, true);
    ASSERT_NE(broken, good) << marker;
    EXPECT_FALSE(extractMediaInfo(broken).has_value()) << "without " << marker;
  }
  EXPECT_FALSE(extractMediaInfo("").has_value());
  EXPECT_FALSE(extractMediaInfo(utf8ToGbk("<p>格式 MP4")).has_value()) << "nothing after it";
  EXPECT_FALSE(extractMediaInfo("<html>nothing here</html>").has_value());
}

TEST(StaysInFolder, RejectsWhatLeavesTheFolder) {
  struct Case {
    Text name;
    bool stays;
  };
  const Case cases[] = {
      {"title", true},
      {utf8ToGbk("第1集 入门"), true},
      {"\x95\x5C", true},  // a two-byte character whose second byte is 0x5C
      {"", true},
      {".", false},
      {"..", false},
      {"...", true},
      {"../up", false},
      {"a/b", false},
      {"a\\b", false},
      {"a\nb", false},
      {"a\x01", false},
      {"a\x7F", false},
      // Bytes that start no two-byte character are characters of their own.
      {"\x80", true},  // the euro sign
      {"\x80/x", false},
      {"\x81/x", false},
      {"\x81\x7F", false},
      {"\xFF\\", false},
      {"a\x81", true},
  };
  for (const Case& c : cases) EXPECT_EQ(staysInFolder(c.name), c.stays) << '"' << c.name << '"';
}

}  // namespace
}  // namespace pindlewick
