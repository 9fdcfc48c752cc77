#include "app/parse_service_resolver.h"

#include "app/media_info.h"
#include "http/http_request.h"
#include "text/codepage.h"
#include "text/phrases.h"

namespace pindlewick {
namespace {

// An answer page is a few kilobytes; anything past this is not one, and
// keeping it would only exhaust memory.
constexpr std::size_t kAnswerLimit = 16 * 1024 * 1024;

bool isPassingStatus(long status) { return status >= 500 || status == 429; }

}  // namespace

ParseServiceResolver::ParseServiceResolver(Text serviceBase)
    : endpoint_(concatText({serviceBase, "/api/bilibili/"})) {}

PartResolution ParseServiceResolver::resolve(const std::string& address, int part) {
  const Text partNumber = intToText(part);
  HttpRequestArgs request;
  request.url = endpoint_;
  request.method = kMethodPost;
  const Text pageAddress = concatText({utf8ToGbk(address), "?p=", partNumber});
  request.postText = concatText({"bilibiliurl=", urlEncode(pageAddress, true, true), "&zengqiang=true"});
  request.bodyLimit = kAnswerLimit;
  const Text answer = httpRequest(request);

  const std::optional<MediaInfo> media = answer.empty() ? std::nullopt : extractMediaInfo(answer);
  if (!media) {
    const bool passing = answer.empty() && (request.failedInPassing || isPassingStatus(request.statusCode));
    return PartRefusal{concatText({partNumber, phrase(Phrase::parseFailedEnd)}), false, passing};
  }
  const bool leaves = !staysInFolder(media->title) || !staysInFolder(media->extension);
  return PartLinks{media->mediaLink, {}, gbkToUtf8(concatText({media->title, ".", media->extension})),
                   leaves, {}};
}

}  // namespace pindlewick
