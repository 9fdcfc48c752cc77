// The site's API answers read into plain values, or the failure they are.
//
// Every answer is JSON {"code": int, "message": string, "data": …}; an HTTP
// status other than 200 fails before the JSON is looked at, and the code is
// checked before the data.
#pragma once

#include <cstdint>
#include <string>
#include <variant>
#include <vector>

#include "site/reasons.h"

namespace pindlewick::site {

// One HTTP answer as it arrived.
struct SiteReply {
  bool answered = false;  // false: no HTTP answer at all
  int status = 0;
  std::string body;
};

template <typename Value>
using SiteAnswer = std::variant<Value, SiteFailure>;

struct VideoPage {
  int page = 0;  // from 1
  std::int64_t cid = 0;
  std::string title;  // the part's own title
};

struct VideoInfo {
  std::string bvid;
  std::string title;
  std::vector<VideoPage> pages;
};

// The two daily keys of the request signature.
struct WbiKeys {
  std::string imgKey;
  std::string subKey;
};

// The cookies that make the requests look like a returning browser's.
struct DeviceCookies {
  std::string buvid3;
  std::string buvid4;
};

// One progressive MP4 stream.
struct StreamLinks {
  std::string url;
  std::vector<std::string> backupUrls;  // in the order given
  std::int64_t size = 0;                // 0 when not given
  int quality = 0;
  std::string format;
};

// /x/web-interface/view: the title and every part (cid and page required).
SiteAnswer<VideoInfo> readView(const SiteReply& reply);
// /x/web-interface/nav: the keys from data.wbi_img, also under code -101
// (not logged in); together they must hold at least 64 characters.
SiteAnswer<WbiKeys> readNav(const SiteReply& reply);
// /x/frontend/finger/spi: data.b_3 and data.b_4.
SiteAnswer<DeviceCookies> readFinger(const SiteReply& reply);
// /x/player/wbi/playurl: exactly one durl entry; a v_voucher is risk control.
SiteAnswer<StreamLinks> readPlayurl(const SiteReply& reply);

}  // namespace pindlewick::site
