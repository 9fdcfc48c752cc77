#include "site/file_name.h"

#include <gtest/gtest.h>

namespace pindlewick::site {
namespace {

struct NameCase {
  const char* videoTitle;
  const char* partTitle;
  int number;
  int partCount;
  const char* name;
};

TEST(PartFileName, Rules) {
  const NameCase cases[] = {
      // several parts: P, the number padded to the digits of the count, the part's title
      {"视频", "第三集 安装", 3, 12, "P03 第三集 安装.mp4"},
      {"视频", "片头", 7, 9, "P7 片头.mp4"},
      {"视频", "结尾", 116, 116, "P116 结尾.mp4"},
      {"视频", "开始", 1, 1000, "P0001 开始.mp4"},
      // one part: the video's title
      {"完整视频", "无关", 1, 1, "完整视频.mp4"},
      // reserved characters become full-width, controls go
      {"v", "a/b\\c:d*e?f\"g<h>i|j", 1, 2, "P1 a／b＼c：d＊e？f＂g＜h＞i｜j.mp4"},
      {"a\tb\nc\x7f" "d\u0085e", "", 1, 1, "abcde.mp4"},
      // blanks at both ends and dots at the end are trimmed, inner ones stay
      {"  . a. b .  \u3000", "", 1, 1, ". a. b.mp4"},
      {"v", "\u3000 第二集 . ", 2, 2, "P2 第二集.mp4"},
      {"v", "", 2, 2, "P2.mp4"},
      // names left empty, "." or ".."
      {"", "", 4, 1, "P4.mp4"},
      {" . ", "", 1, 1, "P1.mp4"},
      {"..", "", 1, 1, "P1.mp4"},
      {"\x01\x02", "", 1, 1, "P1.mp4"},
      // characters outside code page 936 stay as they are
      {"v", "🎬 한국어 ภาษาไทย", 1, 3, "P1 🎬 한국어 ภาษาไทย.mp4"},
      // bytes that are not UTF-8 are dropped
      {"a\xff\xc0\x80" "b", "", 1, 1, "ab.mp4"},
  };
  for (const NameCase& c : cases) {
    EXPECT_EQ(partFileName(c.videoTitle, c.partTitle, c.number, c.partCount), c.name)
        << c.videoTitle << " / " << c.partTitle;
  }
}

TEST(PartFileName, LongNamesAreCutOnACharacterBoundaryKeepingTheExtension) {
  // 3-byte characters after "P1 " (3 bytes): 82 of them fill 249 bytes, the
  // 83rd would end at 252, past the 251 left for the name before ".mp4".
  std::string title;
  for (int i = 0; i < 100; ++i) title += "集";
  const std::string name = partFileName("v", title, 1, 2);
  std::string expected = "P1 ";
  for (int i = 0; i < 82; ++i) expected += "集";
  EXPECT_EQ(name, expected + ".mp4");

  const std::string exact(kLongestFileName - 4, 'a');
  EXPECT_EQ(partFileName(exact + "bcd", "", 1, 1), exact + ".mp4");
  EXPECT_EQ(partFileName(exact, "", 1, 1).size(), kLongestFileName);
}

TEST(BatchNames, NoTwoPartsShareAName) {
  BatchNames names;
  EXPECT_EQ(names.claim("A#1", "P1 开始.mp4"), "P1 开始.mp4");
  EXPECT_EQ(names.claim("B#1", "P1 开始.mp4"), "P1 开始 (2).mp4");
  EXPECT_EQ(names.claim("C#1", "P1 开始.mp4"), "P1 开始 (3).mp4");
  // Windows and FAT see no difference in the case of ASCII letters.
  EXPECT_EQ(names.claim("D#1", "Intro.mp4"), "Intro.mp4");
  EXPECT_EQ(names.claim("E#1", "INTRO.mp4"), "INTRO (2).mp4");
  // A part asked for again keeps its name.
  EXPECT_EQ(names.claim("B#1", "P1 开始.mp4"), "P1 开始 (2).mp4");
}

TEST(BatchNames, ASuffixOnALongNameStaysWithinTheLimit) {
  const std::string longName = partFileName(std::string(300, 'x'), "", 1, 1);
  BatchNames names;
  names.claim("A#1", longName);
  const std::string second = names.claim("B#1", longName);
  EXPECT_EQ(second, std::string(kLongestFileName - 8, 'x') + " (2).mp4");
}

}  // namespace
}  // namespace pindlewick::site
