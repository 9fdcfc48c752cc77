#include "app/initial_state.h"

#include <cstdlib>

#include "text/phrases.h"

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
  initial.labels = {Text(phrase(Phrase::notStarted)), Text(phrase(Phrase::speedHeading)), ""};
  return initial;
}

Text defaultServiceBase() { return PINDLEWICK_SERVICE_BASE; }

}  // namespace pindlewick
