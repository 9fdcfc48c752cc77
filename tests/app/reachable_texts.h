// The widest texts each label of the window can come to show, in UTF-8: the
// Qt window and the Win32 window must both hold every one of them whole.
#pragma once

#include <string>
#include <vector>

namespace pindlewick::testing {

struct ReachableTexts {
  const char* name;
  std::vector<std::string> texts;
};

inline const std::vector<ReachableTexts>& reachableLabelTexts() {
  static const std::vector<ReachableTexts> labels = {
      {"标签1", {"URL："}},
      {"标签2", {"从P"}},
      {"标签3", {"下载到P"}},
      {"标签4", {"保存位置："}},
      {"标签5",
       {"下载未开始", "开始解析2147483647P。", "解析2147483647P完成，正在下载。", "2147483647P解析失败。",
        "2147483647P解析失败：只有音视频分离的流，没有MP4。", "站点拒绝了请求（风控），请稍后再试。",
        "任务完成。"}},
      {"标签7", {"100%", "100.00%"}},
      {"标签6", {"下载速度", "999999.99KB/秒"}},
  };
  return labels;
}

}  // namespace pindlewick::testing
