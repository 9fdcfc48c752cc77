#include "site/answers.h"

#include <nlohmann/json.hpp>

#include <optional>

#include "site/wbi.h"

namespace pindlewick::site {
namespace {

using nlohmann::json;

constexpr int kHttpOk = 200;
constexpr int kHttpRiskControl = 412;
constexpr int kCodeNotLoggedInNav = -101;

SiteFailure unreadable() { return {Refusal::unreadable}; }

// A code other than 0 as the failure it stands for.
SiteFailure failureOfCode(std::int64_t code) {
  switch (code) {
    case -352:
    case -412: return {Refusal::riskControl, code};
    case -400: return {Refusal::badRequest, code};
    case -401: return {Refusal::notLoggedIn, code};
    case -403: return {Refusal::noPermission, code};
    case -404: return {Refusal::noSuchVideo, code};
    case -799: return {Refusal::tooFrequent, code};
    case 62002: return {Refusal::notVisible, code};
    case 62004: return {Refusal::underReview, code};
    case 62012: return {Refusal::uploaderOnly, code};
    default: return {Refusal::siteCode, code};
  }
}

// The parsed answer and its code, or why there is none.
struct Envelope {
  json answer;
  std::int64_t code = 0;
};

SiteAnswer<Envelope> openEnvelope(const SiteReply& reply) {
  if (!reply.answered) return SiteFailure{Refusal::noAnswer};
  if (reply.status == kHttpRiskControl) return SiteFailure{Refusal::riskControl, reply.status};
  if (reply.status != kHttpOk) return SiteFailure{Refusal::httpStatus, reply.status};
  json answer = json::parse(reply.body, nullptr, false);
  if (!answer.is_object() || !answer.contains("code") || !answer["code"].is_number_integer()) {
    return unreadable();
  }
  const auto code = answer["code"].get<std::int64_t>();
  return Envelope{std::move(answer), code};
}

// The envelope of an answer whose code must be 0.
SiteAnswer<Envelope> openSuccess(const SiteReply& reply) {
  SiteAnswer<Envelope> opened = openEnvelope(reply);
  if (const auto* envelope = std::get_if<Envelope>(&opened); envelope && envelope->code != 0) {
    return failureOfCode(envelope->code);
  }
  return opened;
}

// Reads one answer with reader(data); a missing field or one of another type
// makes the answer unreadable.
template <typename Value, typename Reader>
SiteAnswer<Value> readData(SiteAnswer<Envelope> opened, Reader reader) {
  if (const auto* failure = std::get_if<SiteFailure>(&opened)) return *failure;
  try {
    return reader(std::get<Envelope>(opened).answer.at("data"));
  } catch (const json::exception&) {
    return unreadable();
  }
}

VideoPage pageOf(const json& entry) {
  return {entry.at("page").get<int>(), entry.at("cid").get<std::int64_t>(),
          entry.value("part", std::string())};
}

SiteAnswer<VideoInfo> videoOf(const json& data) {
  VideoInfo video{data.value("bvid", std::string()), data.value("title", std::string()), {}};
  const json& pages = data.at("pages");
  if (!pages.is_array()) return unreadable();
  for (const json& entry : pages) video.pages.push_back(pageOf(entry));
  if (video.pages.empty()) return unreadable();
  return video;
}

SiteAnswer<WbiKeys> keysOf(const json& data) {
  const json& images = data.at("wbi_img");
  WbiKeys keys{wbiKeyOfUrl(images.at("img_url").get<std::string>()),
               wbiKeyOfUrl(images.at("sub_url").get<std::string>())};
  if (keys.imgKey.size() + keys.subKey.size() < 64) return unreadable();
  return keys;
}

SiteAnswer<DeviceCookies> cookiesOf(const json& data) {
  return DeviceCookies{data.at("b_3").get<std::string>(), data.at("b_4").get<std::string>()};
}

StreamLinks streamOf(const json& entry, const json& data) {
  StreamLinks stream{entry.at("url").get<std::string>(), {}, entry.value("size", std::int64_t{0}),
                     data.value("quality", 0), data.value("format", std::string())};
  if (const auto backups = entry.find("backup_url"); backups != entry.end() && backups->is_array()) {
    stream.backupUrls = backups->get<std::vector<std::string>>();
  }
  return stream;
}

SiteAnswer<StreamLinks> streamLinksOf(const json& data) {
  if (data.contains("v_voucher")) return SiteFailure{Refusal::riskControl};
  const auto durl = data.find("durl");
  if (durl == data.end() || durl->empty()) {
    return SiteFailure{data.contains("dash") ? Refusal::dashOnly : Refusal::noStream};
  }
  if (durl->size() > 1) return SiteFailure{Refusal::severalPieces, static_cast<std::int64_t>(durl->size())};
  StreamLinks stream = streamOf(durl->at(0), data);
  if (stream.url.empty()) return SiteFailure{Refusal::noStream};
  return stream;
}

}  // namespace

SiteAnswer<VideoInfo> readView(const SiteReply& reply) {
  return readData<VideoInfo>(openSuccess(reply), videoOf);
}

SiteAnswer<WbiKeys> readNav(const SiteReply& reply) {
  SiteAnswer<Envelope> opened = openEnvelope(reply);
  if (const auto* envelope = std::get_if<Envelope>(&opened);
      envelope && envelope->code != 0 && envelope->code != kCodeNotLoggedInNav) {
    return failureOfCode(envelope->code);
  }
  return readData<WbiKeys>(std::move(opened), keysOf);
}

SiteAnswer<DeviceCookies> readFinger(const SiteReply& reply) {
  return readData<DeviceCookies>(openSuccess(reply), cookiesOf);
}

SiteAnswer<StreamLinks> readPlayurl(const SiteReply& reply) {
  return readData<StreamLinks>(openSuccess(reply), streamLinksOf);
}

}  // namespace pindlewick::site
