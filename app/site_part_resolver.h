// Parts resolved by the video site's own public API (site/), the program's
// default: nothing else needs to be installed.
#pragma once

#include "app/part_resolver.h"
#include "site/site_resolver.h"

namespace pindlewick {

class SitePartResolver final : public PartResolver {
 public:
  explicit SitePartResolver(std::string apiBase);
  PartResolution resolve(const std::string& address, int part) override;
  bool pastLastPart(int part) const override;

 private:
  site::SiteResolver resolver_;
  int partCount_ = 0;         // of the video last read; 0 before
  bool reachedAPart_ = false;  // a part of this batch was within the video
};

}  // namespace pindlewick
