#include "site/answers.h"

#include <gtest/gtest.h>

namespace pindlewick::site {
namespace {

constexpr const char* kRefused = "站点拒绝了请求（风控），请稍后再试";

SiteReply ok(std::string body) { return {true, 200, std::move(body)}; }

const std::string kOneDurl =
    R"({"code":0,"message":"0","ttl":1,"data":{"quality":64,"format":"mp4720","timelength":1000,)"
    R"("durl":[{"order":1,"length":1000,"size":4096,"url":"https://cdn.example/v.mp4?a=1\u0026b=2",)"
    R"("backup_url":["https://b1.example/v.mp4","https://b2.example/v.mp4"]}]}})";

TEST(ReadPlayurl, OneDurlEntryGivesItsLinks) {
  const SiteAnswer<StreamLinks> answer = readPlayurl(ok(kOneDurl));
  ASSERT_TRUE(std::holds_alternative<StreamLinks>(answer));
  const StreamLinks& stream = std::get<StreamLinks>(answer);
  EXPECT_EQ(stream.url, "https://cdn.example/v.mp4?a=1&b=2");
  EXPECT_EQ(stream.backupUrls, (std::vector<std::string>{"https://b1.example/v.mp4", "https://b2.example/v.mp4"}));
  EXPECT_EQ(stream.size, 4096);
  EXPECT_EQ(stream.quality, 64);
  EXPECT_EQ(stream.format, "mp4720");
}

TEST(ReadPlayurl, BackupLinksAreOptional) {
  const SiteAnswer<StreamLinks> answer =
      readPlayurl(ok(R"({"code":0,"data":{"durl":[{"url":"https://cdn.example/v.mp4","backup_url":null}]}})"));
  ASSERT_TRUE(std::holds_alternative<StreamLinks>(answer));
  EXPECT_TRUE(std::get<StreamLinks>(answer).backupUrls.empty());
}

struct FailureCase {
  SiteReply reply;
  SiteFailure failure;
  const char* reason;
  bool endsBatch;
};

TEST(ReadPlayurl, EveryOtherAnswerIsAFailureWithAReason) {
  const FailureCase cases[] = {
      {{false, 0, ""}, {Refusal::noAnswer}, "站点没有回应", false},
      {{true, 412, "<html>blocked</html>"}, {Refusal::riskControl, 412}, kRefused, true},
      {{true, 503, R"({"code":0})"}, {Refusal::httpStatus, 503}, "站点答复HTTP状态503", false},
      {ok(R"({"code":-352,"message":"风控校验失败","data":{"v_voucher":"voucher_1"}})"),
       {Refusal::riskControl, -352}, kRefused, true},
      {ok(R"({"code":-412,"message":"请求被拦截"})"), {Refusal::riskControl, -412}, kRefused, true},
      {ok(R"({"code":0,"message":"0","data":{"v_voucher":"voucher_2"}})"), {Refusal::riskControl}, kRefused, true},
      {ok(R"({"code":-400,"message":"请求错误"})"), {Refusal::badRequest, -400}, "请求有误", false},
      {ok(R"({"code":-401})"), {Refusal::notLoggedIn, -401}, "需要登录", false},
      {ok(R"({"code":-403})"), {Refusal::noPermission, -403}, "没有访问权限", false},
      {ok(R"({"code":-404,"message":"啥都木有"})"), {Refusal::noSuchVideo, -404}, "视频不存在", false},
      {ok(R"({"code":-799})"), {Refusal::tooFrequent, -799}, "请求过于频繁", false},
      {ok(R"({"code":62002})"), {Refusal::notVisible, 62002}, "视频不可见", false},
      {ok(R"({"code":62004})"), {Refusal::underReview, 62004}, "视频正在审核", false},
      {ok(R"({"code":62012})"), {Refusal::uploaderOnly, 62012}, "视频仅UP主自己可见", false},
      {ok(R"({"code":-10403,"data":{"durl":[{"url":"x"}]}})"), {Refusal::siteCode, -10403},
       "站点答复错误代码-10403", false},
      {ok(R"({"code":0,"data":{"dash":{"video":[],"audio":[]}}})"), {Refusal::dashOnly},
       "只有音视频分离的流，没有MP4", false},
      {ok(R"({"code":0,"data":{"durl":[{"url":"a"},{"url":"b"},{"url":"c"}]}})"), {Refusal::severalPieces, 3},
       "视频被分成了3段", false},
      {ok(R"({"code":0,"data":{"durl":[]}})"), {Refusal::noStream}, "答复中没有视频地址", false},
      {ok(R"({"code":0,"data":{}})"), {Refusal::noStream}, "答复中没有视频地址", false},
      {ok(R"({"code":0,"data":{"durl":[{"url":""}]}})"), {Refusal::noStream}, "答复中没有视频地址", false},
      {ok(""), {Refusal::unreadable}, "站点的答复无法读取", false},
      {ok(R"({"code":0,"data":{"durl":[{"url":"https://cut)"), {Refusal::unreadable}, "站点的答复无法读取", false},
      {ok(R"([0])"), {Refusal::unreadable}, "站点的答复无法读取", false},
      {ok(R"({"code":"0","data":{}})"), {Refusal::unreadable}, "站点的答复无法读取", false},
      {ok(R"({"code":0})"), {Refusal::unreadable}, "站点的答复无法读取", false},
      {ok(R"({"code":0,"data":{"durl":[{"size":1}]}})"), {Refusal::unreadable}, "站点的答复无法读取", false},
      {ok(R"({"code":0,"data":{"durl":[{"url":7}]}})"), {Refusal::unreadable}, "站点的答复无法读取", false},
  };
  for (const FailureCase& c : cases) {
    const SiteAnswer<StreamLinks> answer = readPlayurl(c.reply);
    ASSERT_TRUE(std::holds_alternative<SiteFailure>(answer)) << c.reply.body;
    const SiteFailure& failure = std::get<SiteFailure>(answer);
    EXPECT_EQ(failure, c.failure) << c.reply.body;
    EXPECT_EQ(reasonText(failure), c.reason) << c.reply.body;
    EXPECT_EQ(endsBatch(failure), c.endsBatch) << c.reply.body;
  }
}

TEST(ReadView, TitleAndPages) {
  const SiteAnswer<VideoInfo> answer = readView(ok(
      R"({"code":0,"message":"0","ttl":1,"data":{"bvid":"BV17x411w7KC","aid":170001,"videos":2,)"
      R"("title":"标题","cid":11,"pages":[{"cid":11,"page":1,"part":"第一集","duration":5,"dimension":{}},)"
      R"({"cid":12345678901,"page":2,"part":"第二集 🎬","duration":6}]}})"));
  ASSERT_TRUE(std::holds_alternative<VideoInfo>(answer));
  const VideoInfo& video = std::get<VideoInfo>(answer);
  EXPECT_EQ(video.bvid, "BV17x411w7KC");
  EXPECT_EQ(video.title, "标题");
  ASSERT_EQ(video.pages.size(), 2u);
  EXPECT_EQ(video.pages[1].page, 2);
  EXPECT_EQ(video.pages[1].cid, 12345678901);
  EXPECT_EQ(video.pages[1].title, "第二集 🎬");
}

TEST(ReadView, FailuresOfTheVideo) {
  const std::pair<SiteReply, SiteFailure> cases[] = {
      {ok(R"({"code":-404,"message":"啥都木有","ttl":1})"), {Refusal::noSuchVideo, -404}},
      {ok(R"({"code":62012,"message":"仅UP主自己可见"})"), {Refusal::uploaderOnly, 62012}},
      {{true, 412, ""}, {Refusal::riskControl, 412}},
      {ok(R"({"code":0,"data":{"title":"t","pages":[]}})"), {Refusal::unreadable}},
      {ok(R"({"code":0,"data":{"title":"t","pages":{"a":{"cid":1,"page":1}}}})"), {Refusal::unreadable}},
      {ok(R"({"code":0,"data":{"title":"t","pages":[{"page":1}]}})"), {Refusal::unreadable}},
  };
  for (const auto& [reply, failure] : cases) {
    const SiteAnswer<VideoInfo> answer = readView(reply);
    ASSERT_TRUE(std::holds_alternative<SiteFailure>(answer)) << reply.body;
    EXPECT_EQ(std::get<SiteFailure>(answer), failure) << reply.body;
  }
}

TEST(ReadNav, KeysAlsoWhenNotLoggedIn) {
  const SiteAnswer<WbiKeys> answer = readNav(ok(
      R"({"code":-101,"message":"账号未登录","data":{"isLogin":false,"wbi_img":{)"
      R"("img_url":"https://i0.hdslb.com/bfs/wbi/7cd084941338484aae1ad9425b84077c.png",)"
      R"("sub_url":"https://i0.hdslb.com/bfs/wbi/4932caff0ff746eab6f01bf08b70ac45.png"}}})"));
  ASSERT_TRUE(std::holds_alternative<WbiKeys>(answer));
  EXPECT_EQ(std::get<WbiKeys>(answer).imgKey, "7cd084941338484aae1ad9425b84077c");
  EXPECT_EQ(std::get<WbiKeys>(answer).subKey, "4932caff0ff746eab6f01bf08b70ac45");
}

TEST(ReadNav, AnswersWithoutUsableKeys) {
  const std::pair<SiteReply, SiteFailure> cases[] = {
      {ok(R"({"code":-101,"data":{"isLogin":false}})"), {Refusal::unreadable}},
      {ok(R"({"code":-101,"data":{"wbi_img":{"img_url":"https://i0/bfs/wbi/short.png",)"
          R"("sub_url":"https://i0/bfs/wbi/4932caff0ff746eab6f01bf08b70ac45.png"}}})"),
       {Refusal::unreadable}},
      {ok(R"({"code":-352,"data":{"v_voucher":"v"}})"), {Refusal::riskControl, -352}},
      {{true, 500, ""}, {Refusal::httpStatus, 500}},
  };
  for (const auto& [reply, failure] : cases) {
    const SiteAnswer<WbiKeys> answer = readNav(reply);
    ASSERT_TRUE(std::holds_alternative<SiteFailure>(answer)) << reply.body;
    EXPECT_EQ(std::get<SiteFailure>(answer), failure) << reply.body;
  }
}

TEST(ReadFinger, BothCookies) {
  const SiteAnswer<DeviceCookies> answer =
      readFinger(ok(R"({"code":0,"message":"ok","data":{"b_3":"A-B-C-infoc","b_4":"D-E-F-G%3D%3D"}})"));
  ASSERT_TRUE(std::holds_alternative<DeviceCookies>(answer));
  EXPECT_EQ(std::get<DeviceCookies>(answer).buvid3, "A-B-C-infoc");
  EXPECT_EQ(std::get<DeviceCookies>(answer).buvid4, "D-E-F-G%3D%3D");
  EXPECT_TRUE(std::holds_alternative<SiteFailure>(readFinger(ok(R"({"code":0,"data":{"b_3":"A"}})"))));
}

}  // namespace
}  // namespace pindlewick::site
