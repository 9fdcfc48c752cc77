// Parts resolved by a parse service: a form POST per part, whose answer page
// holds the media link and the title.
#pragma once

#include "app/part_resolver.h"

namespace pindlewick {

class ParseServiceResolver final : public PartResolver {
 public:
  explicit ParseServiceResolver(Text serviceBase);
  PartResolution resolve(const std::string& address, int part) override;

 private:
  Text endpoint_;
};

}  // namespace pindlewick
