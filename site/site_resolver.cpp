#include "site/site_resolver.h"

#include <algorithm>
#include <chrono>

#include "site/address.h"
#include "site/site_http.h"
#include "site/wbi.h"

namespace pindlewick::site {
namespace {

PartFailure partFailure(const SiteFailure& cause, bool stopsBatch = false) {
  return {cause, reasonText(cause), stopsBatch || endsBatch(cause)};
}

std::int64_t unixSeconds() {
  return std::chrono::duration_cast<std::chrono::seconds>(std::chrono::system_clock::now().time_since_epoch())
      .count();
}

// A value from the site must not break the Cookie line it goes into.
bool fitsCookie(std::string_view value) {
  return !value.empty() && std::all_of(value.begin(), value.end(), [](char c) {
    return c > 0x20 && c < 0x7F && c != ';' && c != ',' && c != '"' && c != '\\';
  });
}

std::string cookieText(const DeviceCookies& device) {
  std::string text;
  for (const auto& [name, value] : {std::pair{"buvid3", device.buvid3}, std::pair{"buvid4", device.buvid4}}) {
    if (!fitsCookie(value)) continue;
    if (!text.empty()) text += "; ";
    text += std::string(name) + "=" + value;
  }
  return text;
}

// The highest part number; parts are numbered from 1.
int partCountOf(const VideoInfo& video) {
  int count = 0;
  for (const VideoPage& page : video.pages) count = std::max(count, page.page);
  return count;
}

const VideoPage* pageNumbered(const VideoInfo& video, int part) {
  const auto page = std::find_if(video.pages.begin(), video.pages.end(),
                                 [&](const VideoPage& candidate) { return candidate.page == part; });
  return page == video.pages.end() ? nullptr : &*page;
}

}  // namespace

SiteResolver::SiteResolver(SiteSettings settings) : settings_(std::move(settings)) {
  while (settings_.apiBase.ends_with('/')) settings_.apiBase.pop_back();
}

PartResolution SiteResolver::resolvePart(std::string_view address, int part) {
  if (address_ != address) {
    if (const std::optional<SiteFailure> failure = readVideo(address)) return {partFailure(*failure, true), 0};
  }
  const int count = partCountOf(video_);
  if (part > count) return {partFailure({Refusal::pastEnd, count}), count};
  const VideoPage* page = pageNumbered(video_, part);
  if (!page) return {partFailure({Refusal::noSuchPart, part}), count};
  SiteAnswer<StreamLinks> answer = requestStream(*page);
  if (const auto* failure = std::get_if<SiteFailure>(&answer)) return {partFailure(*failure), count};
  StreamLinks& stream = std::get<StreamLinks>(answer);
  const std::string name = partFileName(video_.title, page->title, part, count);
  return {ResolvedPart{std::move(stream.url), std::move(stream.backupUrls),
                       names_.claim(video_.bvid + "#" + std::to_string(part), name), cdnHeaders(),
                       stream.size, stream.quality},
          count};
}

std::optional<SiteFailure> SiteResolver::readVideo(std::string_view address) {
  address_.reset();
  const SiteAnswer<std::string> bvid = videoIdOf(address);
  if (const auto* failure = std::get_if<SiteFailure>(&bvid)) return *failure;
  if (!mixin_) {
    if (const std::optional<SiteFailure> failure = readKeys()) return failure;
  }
  SiteAnswer<VideoInfo> view =
      readView(fetchApi(apiUrl("/x/web-interface/view?bvid=" + std::get<std::string>(bvid)), cookies_,
                        settings_.timeoutSeconds));
  if (const auto* failure = std::get_if<SiteFailure>(&view)) return *failure;
  video_ = std::move(std::get<VideoInfo>(view));
  if (video_.bvid.empty()) video_.bvid = std::get<std::string>(bvid);
  address_ = std::string(address);
  return std::nullopt;
}

// The cookies first, so that nav and every later request carry them; a
// failure there only leaves them out.
std::optional<SiteFailure> SiteResolver::readKeys() {
  const SiteAnswer<DeviceCookies> device =
      readFinger(fetchApi(apiUrl("/x/frontend/finger/spi"), {}, settings_.timeoutSeconds));
  if (const auto* cookies = std::get_if<DeviceCookies>(&device)) cookies_ = cookieText(*cookies);
  const SiteAnswer<WbiKeys> keys =
      readNav(fetchApi(apiUrl("/x/web-interface/nav"), cookies_, settings_.timeoutSeconds));
  if (const auto* failure = std::get_if<SiteFailure>(&keys)) return *failure;
  const WbiKeys& wbi = std::get<WbiKeys>(keys);
  mixin_ = mixinKey(wbi.imgKey, wbi.subKey);
  return std::nullopt;
}

// Follows web addresses through their redirects until one names a video.
SiteAnswer<std::string> SiteResolver::videoIdOf(std::string_view address) const {
  AddressReading reading = readAddress(address);
  for (int requests = 0; std::holds_alternative<FollowAddress>(reading) && requests < kMaxRedirects;
       ++requests) {
    const std::optional<std::string> next =
        fetchRedirect(std::get<FollowAddress>(reading).url, settings_.timeoutSeconds);
    if (!next) break;
    reading = readAddress(*next);
  }
  if (const auto* video = std::get_if<NamesVideo>(&reading)) return video->bvid;
  return SiteFailure{Refusal::namesNoVideo};
}

SiteAnswer<StreamLinks> SiteResolver::requestStream(const VideoPage& page) const {
  // Progressive MP4 (fnval 1) in the best quality offered without login.
  const QueryParameters parameters = {
      {"bvid", video_.bvid},   {"cid", std::to_string(page.cid)}, {"qn", "80"},
      {"fnval", "1"},          {"fnver", "0"},                    {"fourk", "0"},
      {"platform", "html5"},   {"high_quality", "1"},             {"try_look", "1"},
  };
  const std::string query = signedQuery(parameters, *mixin_, unixSeconds());
  if (query.empty()) return SiteFailure{Refusal::noSignature};
  return readPlayurl(fetchApi(apiUrl("/x/player/wbi/playurl?" + query), cookies_, settings_.timeoutSeconds));
}

std::string SiteResolver::apiUrl(std::string_view path) const { return settings_.apiBase + std::string(path); }

}  // namespace pindlewick::site
