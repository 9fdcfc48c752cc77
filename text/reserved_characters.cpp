#include "text/reserved_characters.h"

#include <array>

namespace pindlewick {
namespace {

struct Replacement {
  char reserved;
  std::string_view fullWidth;
};

constexpr std::array<Replacement, 9> kReplacements = {{
    {'/', "／"}, {'\\', "＼"}, {':', "："}, {'*', "＊"}, {'?', "？"},
    {'"', "＂"}, {'<', "＜"}, {'>', "＞"}, {'|', "｜"},
}};

}  // namespace

std::string_view fullWidthOfReserved(char32_t codePoint) {
  for (const Replacement& replacement : kReplacements) {
    if (char32_t(replacement.reserved) == codePoint) return replacement.fullWidth;
  }
  return {};
}

}  // namespace pindlewick
