#include "site/wbi.h"

#include <algorithm>
#include <array>

#include "site/md5.h"
#include "site/percent_encoding.h"

namespace pindlewick::site {
namespace {

constexpr std::array<std::size_t, 32> kMixinOrder = {
    46, 47, 18, 2,  53, 8,  23, 32, 15, 50, 10, 31, 58, 3,  45, 35,
    27, 43, 5,  49, 33, 9,  42, 19, 29, 28, 14, 39, 12, 38, 41, 13,
};

constexpr std::string_view kFilteredCharacters = "!'()*";

bool isUnreserved(unsigned char c) {
  return (c >= 'A' && c <= 'Z') || (c >= 'a' && c <= 'z') || (c >= '0' && c <= '9') || c == '-' ||
         c == '_' || c == '.' || c == '~';
}

// Every byte but the unreserved ones as %XX, so a blank is "%20", never "+".
std::string queryEncoded(std::string_view text) { return percentEncoded(text, isUnreserved); }

std::string withoutFilteredCharacters(std::string value) {
  std::erase_if(value, [](char c) { return kFilteredCharacters.find(c) != std::string_view::npos; });
  return value;
}

}  // namespace

std::string wbiKeyOfUrl(std::string_view url) {
  const std::size_t slash = url.find_last_of('/');
  const std::string_view name = slash == std::string_view::npos ? url : url.substr(slash + 1);
  return std::string(name.substr(0, name.find('.')));
}

std::string mixinKey(std::string_view imgKey, std::string_view subKey) {
  const std::string raw = std::string(imgKey) + std::string(subKey);
  std::string mixin;
  for (const std::size_t index : kMixinOrder) mixin += raw.at(index);
  return mixin;
}

std::string signedQuery(QueryParameters parameters, std::string_view mixin, std::int64_t wts) {
  parameters.emplace_back("wts", std::to_string(wts));
  std::sort(parameters.begin(), parameters.end());
  std::string query;
  for (const auto& [name, value] : parameters) {
    if (!query.empty()) query += '&';
    query += queryEncoded(name) + '=' + queryEncoded(withoutFilteredCharacters(value));
  }
  const std::string rid = md5Hex(query + std::string(mixin));
  if (rid.empty()) return {};
  return query + "&w_rid=" + rid;
}

}  // namespace pindlewick::site
