// The signature the site's stream API wants on its requests: the parameters
// sorted and percent-encoded, with the time and an MD5 over the query and a
// key mixed from the two daily keys the nav API names.
#pragma once

#include <cstdint>
#include <string>
#include <string_view>
#include <utility>
#include <vector>

namespace pindlewick::site {

// Names and values in UTF-8, in any order.
using QueryParameters = std::vector<std::pair<std::string, std::string>>;

// The key in one of nav's image addresses: the file name without folder and
// extension ("…/bfs/wbi/7cd0…077c.png" gives "7cd0…077c").
std::string wbiKeyOfUrl(std::string_view url);

// The 32 characters of imgKey + subKey that the signature mixes in. The two
// keys together hold at least 64 characters.
std::string mixinKey(std::string_view imgKey, std::string_view subKey);

// The query to send: the parameters and wts (Unix seconds), sorted by name,
// values without the characters !'()*, names and values percent-encoded,
// followed by "&w_rid=" and the MD5 of that query and the mixin key. "" when
// the platform offers no MD5.
std::string signedQuery(QueryParameters parameters, std::string_view mixin, std::int64_t wts);

}  // namespace pindlewick::site
