// The built-in resolver: from the address the user typed and a part number
// to the part's stream link and file name, over the site's public API.
//
// One SiteResolver serves one batch and asks one thing at a time: the
// signature keys and the browser cookies once, the video's title and parts
// once per address text, then one signed stream request per part.
#pragma once

#include <cstdint>
#include <optional>
#include <string>
#include <string_view>
#include <variant>
#include <vector>

#include "site/answers.h"
#include "site/file_name.h"
#include "site/reasons.h"

namespace pindlewick::site {

inline constexpr std::string_view kDefaultApiBase = "https://api.bilibili.com";
// Short links and other web addresses are followed through at most this many redirects.
inline constexpr int kMaxRedirects = 10;

struct SiteSettings {
  std::string apiBase = std::string(kDefaultApiBase);  // scheme, host, optional port and path
  int timeoutSeconds = 0;  // per request; 0 or less: httpRequest's default
};

// Everything the download of one part needs; texts in UTF-8.
struct ResolvedPart {
  std::string link;
  std::vector<std::string> backupLinks;  // to try in order when link fails
  std::string fileName;                  // no folder, ends in ".mp4", unique in the batch
  std::vector<std::string> cdnHeaders;   // "Name: value" lines to send with the download
  std::int64_t size = 0;                 // bytes, 0 when the site gave none
  int quality = 0;                       // the site's quality number, 80 for 1080P
};

struct PartFailure {
  SiteFailure cause;
  std::string reason;       // short, in Chinese, without closing punctuation
  bool stopsBatch = false;  // the next parts would fail too: end the batch
};

struct PartResolution {
  std::variant<ResolvedPart, PartFailure> outcome;
  int partCount = 0;  // the video's number of parts; 0 when it could not be read
};

class SiteResolver {
 public:
  explicit SiteResolver(SiteSettings settings = {});

  // Resolves part `part` (from 1) of the video the address names. The video
  // is read again only when the address text differs from the last call's.
  // Failures that end the batch: an address that names no video, a part past
  // the last, risk control, and any failure to read the video or the
  // signature keys (no part could be resolved without them).
  PartResolution resolvePart(std::string_view address, int part);

 private:
  std::optional<SiteFailure> readVideo(std::string_view address);
  std::optional<SiteFailure> readKeys();
  SiteAnswer<std::string> videoIdOf(std::string_view address) const;
  SiteAnswer<StreamLinks> requestStream(const VideoPage& page) const;
  std::string apiUrl(std::string_view path) const;

  SiteSettings settings_;
  std::optional<std::string> mixin_;  // of the keys fetched once per batch
  std::string cookies_;               // buvid3 and buvid4, "" when the site gave none
  std::optional<std::string> address_;
  VideoInfo video_;
  BatchNames names_;
};

}  // namespace pindlewick::site
