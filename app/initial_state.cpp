#include "app/initial_state.h"

#include <cstdlib>

#include "site/site_resolver.h"
#include "text/phrases.h"

#ifndef PINDLEWICK_SERVICE_BASE
#define PINDLEWICK_SERVICE_BASE ""
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

PartSource partSourceFor(const std::optional<std::string>& serviceBase,
                         const std::optional<std::string>& siteBase) {
  const std::string service = serviceBase.value_or(PINDLEWICK_SERVICE_BASE);
  if (!service.empty()) return {PartSource::Kind::parseService, service};
  return {PartSource::Kind::site, siteBase.value_or(std::string(site::kDefaultApiBase))};
}

}  // namespace pindlewick
