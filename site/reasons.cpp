#include "site/reasons.h"

namespace pindlewick::site {

std::string reasonText(const SiteFailure& failure) {
  const std::string detail = std::to_string(failure.detail);
  switch (failure.refusal) {
    case Refusal::kNoAnswer: return "站点没有回应";
    case Refusal::kHttpStatus: return "站点答复HTTP状态" + detail;
    case Refusal::kUnreadable: return "站点的答复无法读取";
    case Refusal::kSiteCode: return "站点答复错误代码" + detail;
    case Refusal::kBadRequest: return "请求有误";
    case Refusal::kNoPermission: return "没有访问权限";
    case Refusal::kNoSuchVideo: return "视频不存在";
    case Refusal::kNotLoggedIn: return "需要登录";
    case Refusal::kTooFrequent: return "请求过于频繁";
    case Refusal::kNotVisible: return "视频不可见";
    case Refusal::kUnderReview: return "视频正在审核";
    case Refusal::kUploaderOnly: return "视频仅UP主自己可见";
    case Refusal::kRiskControl: return "站点拒绝了请求（风控），请稍后再试";
    case Refusal::kDashOnly: return "只有音视频分离的流，没有MP4";
    case Refusal::kSeveralPieces: return "视频被分成了" + detail + "段";
    case Refusal::kNoStream: return "答复中没有视频地址";
    case Refusal::kNoSignature: return "无法生成请求签名";
    case Refusal::kNamesNoVideo: return "地址没有指向视频";
    case Refusal::kPastEnd: return "视频只有" + detail + "个分P";
    case Refusal::kNoSuchPart: return "视频没有这个分P";
  }
  return {};
}

bool endsBatch(const SiteFailure& failure) {
  switch (failure.refusal) {
    case Refusal::kRiskControl:
    case Refusal::kNoSignature:
    case Refusal::kNamesNoVideo:
    case Refusal::kPastEnd:
      return true;
    default:
      return false;
  }
}

}  // namespace pindlewick::site
