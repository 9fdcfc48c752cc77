#include "site/reasons.h"

namespace pindlewick::site {

std::string reasonText(const SiteFailure& failure) {
  const std::string detail = std::to_string(failure.detail);
  switch (failure.refusal) {
    case Refusal::noAnswer: return "站点没有回应";
    case Refusal::httpStatus: return "站点答复HTTP状态" + detail;
    case Refusal::unreadable: return "站点的答复无法读取";
    case Refusal::siteCode: return "站点答复错误代码" + detail;
    case Refusal::badRequest: return "请求有误";
    case Refusal::noPermission: return "没有访问权限";
    case Refusal::noSuchVideo: return "视频不存在";
    case Refusal::notLoggedIn: return "需要登录";
    case Refusal::tooFrequent: return "请求过于频繁";
    case Refusal::notVisible: return "视频不可见";
    case Refusal::underReview: return "视频正在审核";
    case Refusal::uploaderOnly: return "视频仅UP主自己可见";
    case Refusal::riskControl: return "站点拒绝了请求（风控），请稍后再试";
    case Refusal::dashOnly: return "只有音视频分离的流，没有MP4";
    case Refusal::severalPieces: return "视频被分成了" + detail + "段";
    case Refusal::noStream: return "答复中没有视频地址";
    case Refusal::noSignature: return "无法生成请求签名";
    case Refusal::namesNoVideo: return "地址没有指向视频";
    case Refusal::pastEnd: return "视频只有" + detail + "个分P";
    case Refusal::noSuchPart: return "视频没有这个分P";
  }
  return {};
}

bool endsBatch(const SiteFailure& failure) {
  switch (failure.refusal) {
    case Refusal::riskControl:
    case Refusal::noSignature:
    case Refusal::namesNoVideo:
    case Refusal::pastEnd:
      return true;
    default:
      return false;
  }
}

}  // namespace pindlewick::site
