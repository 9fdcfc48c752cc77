#include "text/phrases.h"

#include <array>
#include <string_view>

#include "text/codepage.h"

namespace pindlewick {
namespace {

struct Entry {
  Phrase phrase;
  std::string_view utf8;
};

constexpr Entry kPhrases[] = {
    {Phrase::urlLabel, "URL："},
    {Phrase::fromPartLabel, "从P"},
    {Phrase::toPartLabel, "下载到P"},
    {Phrase::folderLabel, "保存位置："},
    {Phrase::startButton, "开始下载"},
    {Phrase::notStarted, "下载未开始"},
    {Phrase::speedHeading, "下载速度"},
    {Phrase::cannotStartBatch, "不能启动下载任务!"},
    {Phrase::parseStarting, "开始解析"},
    {Phrase::parseStartingEnd, "P。"},
    {Phrase::parseFailedEnd, "P解析失败。"},
    {Phrase::parseFailedBecause, "P解析失败："},
    {Phrase::fullStop, "。"},
    {Phrase::parseDone, "解析"},
    {Phrase::parseDoneEnd, "P完成，正在下载。"},
    {Phrase::batchDone, "任务完成。"},
    {Phrase::messageCaption, "信息："},
    {Phrase::noInternet, "Internet连接错误!"},
    {Phrase::cannotOpenUrl, "不能打开该URL!"},
    {Phrase::cannotOpenFile, "不能打开本地的文件!"},
    {Phrase::readFailed, "读文件出错!"},
    {Phrase::writeFailed, "写文件出错!"},
    {Phrase::outOfMemory, "内存不足!"},
    {Phrase::partFailedInternally, "处理出错!"},
    {Phrase::speedUnit, "KB/秒"},
    {Phrase::formatMp4, "格式 MP4"},
    {Phrase::titleMarker, "标题"},
    {Phrase::descriptionMarker, "描述"},
    {Phrase::quotePlaceholder, "#引号"},
    {Phrase::requestPlatform, "700 当前系统不支持WinHttp服务!"},
    {Phrase::requestUrl, "701 解析URL地址失败!"},
    {Phrase::requestSession, "702 创建WinHttp会话失败!"},
    {Phrase::requestConnection, "703 创建WinHttp连接失败!"},
    {Phrase::requestRequest, "704 创建WinHttp请求失败!"},
    {Phrase::requestTimeouts, "705 设置超时时间失败!"},
    {Phrase::requestCredentials, "707 设置代理凭证失败!"},
    {Phrase::requestCookieOption, "708 禁止自动设置Cookies失败!"},
    {Phrase::requestHeaders, "710 设置协议头失败!"},
    {Phrase::requestSend, "711 发送请求失败!"},
    {Phrase::requestNoResponse, "712 服务器未响应!"},
    {Phrase::requestRead, "713 读取数据失败!"},
};

constexpr std::size_t kPhraseCount = std::size(kPhrases);
constexpr bool inEnumOrder() {
  for (std::size_t i = 0; i < kPhraseCount; ++i) {
    if (static_cast<std::size_t>(kPhrases[i].phrase) != i) return false;
  }
  return true;
}
static_assert(kPhraseCount == static_cast<std::size_t>(Phrase::requestRead) + 1 && inEnumOrder(),
              "every phrase has its text, in the order of the enum");

// The table in code page 936, made once on first use.
std::array<Text, kPhraseCount> convertAll() {
  std::array<Text, kPhraseCount> converted;
  for (std::size_t i = 0; i < kPhraseCount; ++i) converted[i] = utf8ToGbk(kPhrases[i].utf8);
  return converted;
}

}  // namespace

TextView phrase(Phrase which) {
  static const std::array<Text, kPhraseCount> converted = convertAll();
  return converted[static_cast<std::size_t>(which)];
}

}  // namespace pindlewick
