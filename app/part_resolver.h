// Which link and which name for each part: the one question on which the
// parse service and the site's own API differ. Everything after it (the
// download, the progress row, the messages, the status texts) is shared.
#pragma once

#include <memory>
#include <string>
#include <variant>
#include <vector>

#include "text/text.h"

namespace pindlewick {

// Where a part's media can be fetched from, and the file it goes into.
struct PartLinks {
  Text link;                      // code page 936, as libcurl will be given it
  std::vector<Text> backupLinks;  // tried in order when link cannot be downloaded
  std::string fileName;           // UTF-8, without the folder
  bool nameLeavesFolder = false;  // refused before anything is fetched
  std::vector<std::string> downloadHeaders;  // "Name: value" lines the media host wants
};

// Why a part has no link.
struct PartRefusal {
  Text statusLine;             // shown in place of "解析nP完成，正在下载。"
  bool endsBatch = false;      // later parts would be refused too
  bool worthRetrying = false;  // a passing failure: asking again may succeed
};

using PartResolution = std::variant<PartLinks, PartRefusal>;

class PartResolver {
 public:
  virtual ~PartResolver() = default;
  // Part `part` of the video at address (the address box as typed, UTF-8).
  virtual PartResolution resolve(const std::string& address, int part) = 0;
  // Whether the batch is simply over before this part: the video has fewer
  // parts, and earlier parts of this batch were within it.
  virtual bool pastLastPart(int /*part*/) const { return false; }
};

// The resolver a batch uses: the parse service at a base address (scheme,
// host, optional port), or the site's API at its base.
struct PartSource {
  enum class Kind { parseService, site };
  Kind kind = Kind::site;
  std::string base;
};

std::unique_ptr<PartResolver> makeResolver(const PartSource& source);

}  // namespace pindlewick
