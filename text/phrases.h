// Every Chinese text the program shows or looks for, written once in UTF-8
// (text/phrases.cpp) and given out in code page 936.
#pragma once

#include "text/text.h"

namespace pindlewick {

enum class Phrase {
  // The window
  urlLabel,          // URL：
  fromPartLabel,     // 从P
  toPartLabel,       // 下载到P
  folderLabel,       // 保存位置：
  startButton,       // 开始下载
  notStarted,        // 下载未开始
  speedHeading,      // 下载速度
  cannotStartBatch,  // 不能启动下载任务!
  // A part's status line: before and after its number
  parseStarting,     // 开始解析 n P。
  parseStartingEnd,
  parseFailedEnd,    // n P解析失败。
  parseFailedBecause,  // n P解析失败： reason 。
  fullStop,
  parseDone,         // 解析 n P完成，正在下载。
  parseDoneEnd,
  batchDone,         // 任务完成。
  // Messages
  messageCaption,    // 信息：
  noInternet,        // Internet连接错误!
  cannotOpenUrl,     // 不能打开该URL!
  cannotOpenFile,    // 不能打开本地的文件!
  readFailed,        // 读文件出错!
  writeFailed,       // 写文件出错!
  outOfMemory,       // 内存不足!
  partFailedInternally,  // 处理出错!
  speedUnit,         // KB/秒
  // The parse service's answer page
  formatMp4,         // 格式 MP4
  titleMarker,       // 标题
  descriptionMarker, // 描述
  // Stands for a double quote in cookie markers and regex patterns
  quotePlaceholder,  // #引号
  // The HTTP request's numbered failures
  requestPlatform,     // 700
  requestUrl,          // 701
  requestSession,      // 702
  requestConnection,   // 703
  requestRequest,      // 704
  requestTimeouts,     // 705
  requestCredentials,  // 707
  requestCookieOption, // 708
  requestHeaders,      // 710
  requestSend,         // 711
  requestNoResponse,   // 712
  requestRead,         // 713
};

// The phrase in code page 936.
TextView phrase(Phrase which);

}  // namespace pindlewick
