#include "site/site_resolver.h"

#include <gtest/gtest.h>

#include "http/http_request.h"
#include "site/site_http.h"
#include "tests/site/fixture_site.h"

namespace pindlewick::site {
namespace {

using testing::FixtureSite;

constexpr std::string_view kTwelveParts = "https://www.bilibili.com/video/BV17x411w7KC?p=3&vd_source=x";
constexpr std::string_view kProblems = "BV1y7411Q7Eq";

SiteResolver resolverFor(const FixtureSite& site) { return SiteResolver(SiteSettings{site.base(), 10}); }

ResolvedPart resolved(const PartResolution& resolution) {
  if (const auto* failure = std::get_if<PartFailure>(&resolution.outcome)) {
    throw std::runtime_error("the part failed: " + failure->reason);
  }
  return std::get<ResolvedPart>(resolution.outcome);
}

PartFailure failed(const PartResolution& resolution) {
  if (!std::holds_alternative<PartFailure>(resolution.outcome)) throw std::runtime_error("the part resolved");
  return std::get<PartFailure>(resolution.outcome);
}

// The value of one parameter of a recorded request's query.
std::string parameter(const nlohmann::json& request, const std::string& name) {
  const std::string query = request["query"];
  for (std::size_t start = 0; start <= query.size();) {
    const std::size_t end = std::min(query.find('&', start), query.size());
    const std::string pair = query.substr(start, end - start);
    if (pair.starts_with(name + "=")) return pair.substr(name.size() + 1);
    start = end + 1;
  }
  return "<missing>";
}

TEST(SiteResolver, MultiPartVideoResolvesEveryPartWithItsNameAndStopsAfterTheLast) {
  const FixtureSite site;
  SiteResolver resolver = resolverFor(site);
  const char* const names[] = {
      "P01 开始.mp4", "P02 第二集： 安装／配置？.mp4", "P03 第三集 安装.mp4", "P04 🎬 한국어 ภาษาไทย.mp4",
      "P05.mp4",      "P06 第六集.mp4",                "P07 第七集.mp4",      "P08 第八集.mp4",
      "P09 第九集.mp4", "P10 第十集.mp4",              "P11 第十一集.mp4",     "P12 结尾.mp4",
  };
  for (int part = 1; part <= 12; ++part) {
    const PartResolution resolution = resolver.resolvePart(kTwelveParts, part);
    EXPECT_EQ(resolution.partCount, 12);
    const ResolvedPart stream = resolved(resolution);
    const std::string cid = std::to_string(4999 + part);
    EXPECT_TRUE(stream.link.starts_with(site.base() + "/cdn/" + cid + ".mp4?deadline=")) << stream.link;
    ASSERT_EQ(stream.backupLinks.size(), 1u);
    EXPECT_TRUE(stream.backupLinks[0].starts_with(site.base() + "/cdn-backup/" + cid + ".mp4?")) << part;
    EXPECT_EQ(stream.fileName, names[part - 1]);
    EXPECT_EQ(stream.size, 20000 + (4999 + part) % 1000);
    EXPECT_EQ(stream.quality, 80);
  }
  const PartResolution past = resolver.resolvePart(kTwelveParts, 13);
  EXPECT_EQ(past.partCount, 12);
  EXPECT_EQ(failed(past).reason, "视频只有12个分P");
  EXPECT_TRUE(failed(past).stopsBatch);

  // Keys and cookies once per batch, the video once per address text.
  EXPECT_EQ(site.requestsFor("/x/frontend/finger/spi").size(), 1u);
  EXPECT_EQ(site.requestsFor("/x/web-interface/nav").size(), 1u);
  const std::vector<nlohmann::json> views = site.requestsFor("/x/web-interface/view");
  ASSERT_EQ(views.size(), 1u);
  EXPECT_EQ(views[0]["query"], "bvid=BV17x411w7KC");
  EXPECT_EQ(site.requestsFor("/x/player/wbi/playurl").size(), 12u);
}

TEST(SiteResolver, StreamRequestsAskForTheProgressiveMp4LikeABrowserOnTheSite) {
  const FixtureSite site;
  SiteResolver resolver = resolverFor(site);
  resolved(resolver.resolvePart(kTwelveParts, 2));
  const std::vector<nlohmann::json> requests = site.requests();
  ASSERT_EQ(requests.size(), 4u);
  // The cookies first, so that every later request carries them.
  EXPECT_EQ(requests[0]["path"], "/x/frontend/finger/spi");
  EXPECT_FALSE(requests[0]["headers"].contains("cookie"));
  const nlohmann::json& playurl = requests[3];
  EXPECT_EQ(playurl["path"], "/x/player/wbi/playurl");
  const std::pair<const char*, const char*> expected[] = {
      {"bvid", "BV17x411w7KC"}, {"cid", "5001"},        {"qn", "80"},       {"fnval", "1"},
      {"platform", "html5"},    {"high_quality", "1"}, {"try_look", "1"},
  };
  for (const auto& [name, value] : expected) EXPECT_EQ(parameter(playurl, name), value) << name;
  for (std::size_t i = 1; i < requests.size(); ++i) {
    const nlohmann::json& headers = requests[i]["headers"];
    EXPECT_EQ(headers["user-agent"], kBrowserUserAgent) << i;
    EXPECT_EQ(headers["referer"], "https://www.bilibili.com/") << i;
    EXPECT_EQ(headers["origin"], "https://www.bilibili.com") << i;
    EXPECT_EQ(headers["cookie"],
              "buvid3=D3F1C1E2-0A0B-4C5D-8E9F-FIXTURE00001infoc; "
              "buvid4=A1B2C3D4-E5F6-0718-293A-FIXTURE00002-024011-abcdef%3D%3D")
        << i;
  }
}

TEST(SiteResolver, TheVideoIsReadAgainOnlyWhenTheAddressTextChanges) {
  const FixtureSite site;
  SiteResolver resolver = resolverFor(site);
  resolved(resolver.resolvePart(kTwelveParts, 1));
  resolved(resolver.resolvePart(kTwelveParts, 2));
  const PartResolution single = resolver.resolvePart("av2", 1);
  EXPECT_EQ(resolved(single).fileName, "单个视频：演示＜1＞.mp4");
  EXPECT_EQ(single.partCount, 1);
  resolved(resolver.resolvePart("https://www.bilibili.com/video/BV17x411w7KC", 3));
  EXPECT_EQ(site.requestsFor("/x/web-interface/view").size(), 3u);
  EXPECT_EQ(site.requestsFor("/x/web-interface/nav").size(), 1u);
}

TEST(SiteResolver, APartPastTheEndStopsTheBatchBeforeAnyStreamRequest) {
  const FixtureSite site;
  SiteResolver resolver = resolverFor(site);
  const PartResolution resolution = resolver.resolvePart("BV1xx411c7mD", 5);
  EXPECT_EQ(resolution.partCount, 1);
  EXPECT_EQ(failed(resolution).cause, (SiteFailure{Refusal::pastEnd, 1}));
  EXPECT_TRUE(failed(resolution).stopsBatch);
  EXPECT_TRUE(site.requestsFor("/x/player/wbi/playurl").empty());
}

TEST(SiteResolver, AStaleSignatureGetsAVoucherAndStopsTheBatch) {
  const FixtureSite site({"--stale-keys"});
  SiteResolver resolver = resolverFor(site);
  const PartFailure failure = failed(resolver.resolvePart(kTwelveParts, 1));
  EXPECT_EQ(failure.cause, (SiteFailure{Refusal::riskControl}));
  EXPECT_EQ(failure.reason, "站点拒绝了请求（风控），请稍后再试");
  EXPECT_TRUE(failure.stopsBatch);
}

TEST(SiteResolver, EachStreamAnswerGivesItsReasonAndWhetherTheBatchGoesOn) {
  const FixtureSite site;
  SiteResolver resolver = resolverFor(site);
  const struct {
    int part;
    SiteFailure cause;
    bool stopsBatch;
  } cases[] = {
      {2, {Refusal::dashOnly}, false},          {3, {Refusal::severalPieces, 3}, false},
      {4, {Refusal::httpStatus, 503}, false},   {5, {Refusal::unreadable}, false},
      {6, {Refusal::noSuchVideo, -404}, false}, {7, {Refusal::riskControl, -352}, true},
      {8, {Refusal::riskControl, 412}, true},   {9, {Refusal::riskControl, -412}, true},
  };
  for (const auto& c : cases) {
    const PartResolution resolution = resolver.resolvePart(kProblems, c.part);
    EXPECT_EQ(resolution.partCount, 10);
    const PartFailure failure = failed(resolution);
    EXPECT_EQ(failure.cause, c.cause) << c.part;
    EXPECT_EQ(failure.reason, reasonText(c.cause)) << c.part;
    EXPECT_EQ(failure.stopsBatch, c.stopsBatch) << c.part;
  }
  const ResolvedPart deadPrimary = resolved(resolver.resolvePart(kProblems, 10));
  EXPECT_TRUE(deadPrimary.link.starts_with(site.base() + "/cdn-dead/7009.mp4?")) << deadPrimary.link;
  EXPECT_EQ(deadPrimary.fileName, "P10 主链接失效.mp4");
}

TEST(SiteResolver, VideosThatCannotBeReadStopTheBatch) {
  const FixtureSite site;
  const struct {
    const char* address;
    SiteFailure cause;
  } cases[] = {
      {"BV1ex411J7GE", {Refusal::noSuchVideo, -404}},
      {"BV1GJ411x7h7", {Refusal::uploaderOnly, 62012}},
      {"BV117411r7R1", {Refusal::riskControl, 412}},
  };
  for (const auto& c : cases) {
    SiteResolver resolver = resolverFor(site);
    const PartResolution resolution = resolver.resolvePart(c.address, 1);
    EXPECT_EQ(resolution.partCount, 0) << c.address;
    EXPECT_EQ(failed(resolution).cause, c.cause) << c.address;
    EXPECT_TRUE(failed(resolution).stopsBatch) << c.address;
  }
}

TEST(SiteResolver, AnAddressThatNamesNoVideoMakesNoRequest) {
  const FixtureSite site;
  SiteResolver resolver = resolverFor(site);
  const PartResolution resolution = resolver.resolvePart("https://www.bilibili.com/video/BV1xx411c7m", 1);
  EXPECT_EQ(failed(resolution).cause, (SiteFailure{Refusal::namesNoVideo}));
  EXPECT_EQ(failed(resolution).reason, "地址没有指向视频");
  EXPECT_TRUE(failed(resolution).stopsBatch);
  EXPECT_TRUE(site.requests().empty());
}

TEST(SiteResolver, ShortLinksAreFollowedThroughTheirRedirects) {
  const FixtureSite site;
  const struct {
    const char* code;
    const char* fileName;  // "" when the link names no video
    std::size_t linkRequests;
  } cases[] = {
      {"mx00St", "P01 开始.mp4", 2},  // 302 to a relative location, then 301 to a video page
      {"av", "单个视频：演示＜1＞.mp4", 1},
      {"c9", "单个视频：演示＜1＞.mp4", 10},  // ten redirects
      {"c10", "", 10},                  // eleven: too many
      {"home", "", 2},                  // ends on a page that is no video
      {"loop", "", 10},
      {"gone", "", 1},                  // 404
  };
  for (const auto& c : cases) {
    SiteResolver resolver = resolverFor(site);
    const std::size_t before = site.requests().size();
    const PartResolution resolution = resolver.resolvePart(site.base() + "/s/" + c.code, 1);
    std::size_t linkRequests = 0;
    const std::vector<nlohmann::json> requests = site.requests();
    for (std::size_t i = before; i < requests.size(); ++i) {
      const std::string path = requests[i]["path"];
      linkRequests += path.starts_with("/s/") || path == "/";
    }
    EXPECT_EQ(linkRequests, c.linkRequests) << c.code;
    if (*c.fileName) {
      EXPECT_EQ(resolved(resolution).fileName, c.fileName) << c.code;
    } else {
      EXPECT_EQ(failed(resolution).cause, (SiteFailure{Refusal::namesNoVideo})) << c.code;
    }
  }
}

TEST(SiteResolver, PartsResolveWithoutCookiesWhenTheFingerApiFails) {
  const FixtureSite site({"--no-finger"});
  SiteResolver resolver = resolverFor(site);
  resolved(resolver.resolvePart(kTwelveParts, 1));
  for (const nlohmann::json& request : site.requests()) {
    EXPECT_FALSE(request["headers"].contains("cookie")) << request["path"];
  }
}

TEST(SiteResolver, TheCdnHeadersOpenTheStream) {
  const FixtureSite site;
  SiteResolver resolver = resolverFor(site);
  const ResolvedPart part = resolved(resolver.resolvePart("BV1xx411c7mD", 1));
  HttpRequestArgs bare;
  bare.url = Text(part.link);
  bare.extraHeaders = Text("User-Agent: " + std::string(kBrowserUserAgent));
  httpRequest(bare);
  EXPECT_EQ(bare.statusText, "403 Forbidden");

  HttpRequestArgs ranged;
  ranged.url = Text(part.link);
  for (const std::string& line : part.cdnHeaders) ranged.extraHeaders += Text(line + "\r\n");
  ranged.extraHeaders += "Range: bytes=100-199";
  httpRequest(ranged);
  EXPECT_EQ(ranged.statusText, "206 Partial Content");
  ASSERT_EQ(ranged.responseBytes.size(), 100u);
  EXPECT_EQ(ranged.responseBytes[0], (6000 + 100) % 251);
}

}  // namespace
}  // namespace pindlewick::site
