#include "app/initial_state.h"

#include <cstdlib>

#include "text/codepage.h"

#ifndef PINDLEWICK_SERVICE_BASE
#define PINDLEWICK_SERVICE_BASE "https://parse-service.invalid"
#endif

namespace pindlewick {
namespace {

std::string initialFolder() {
#ifdef _WIN32
  return "E:\\PR教程\\";
#else
  const char* home = std::getenv("HOME");
  return std::string(home != nullptr ? home : "") + "/PR教程/";
#endif
}

}  // namespace

WindowState::Snapshot initialWindowState() {
  WindowState::Snapshot initial;
  initial.editBoxes = {"https://www.bilibili.com/video/BV1yA41147QJ", "1", "116", initialFolder()};
  initial.labels = {utf8ToGbk("下载未开始"), utf8ToGbk("下载速度"), ""};
  return initial;
}

Text defaultServiceBase() { return PINDLEWICK_SERVICE_BASE; }

}  // namespace pindlewick
