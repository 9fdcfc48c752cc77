#include "text/charset_codec.h"

#include <unicode/uchar.h>
#include <unicode/ucnv.h>
#include <unicode/utf16.h>
#include <unicode/unorm2.h>

#include <memory>

namespace pindlewick::charset_codec {
namespace {

struct ConverterCloser {
  void operator()(UConverter* converter) const { ucnv_close(converter); }
};
using Converter = std::unique_ptr<UConverter, ConverterCloser>;

Converter openConverter(const std::string& charset) {
  UErrorCode status = U_ZERO_ERROR;
  Converter converter(ucnv_open(charset.c_str(), &status));
  if (U_FAILURE(status)) return nullptr;
  ucnv_setSubstChars(converter.get(), "?", 1, &status);
  return converter;
}

// Runs an ICU call that fills a buffer twice: once to learn the size, once to
// fill a buffer of that size. Empty on failure.
template <typename Output, typename Call>
Output preflighted(Call call) {
  UErrorCode status = U_ZERO_ERROR;
  const int32_t needed = call(nullptr, 0, status);
  if (status != U_BUFFER_OVERFLOW_ERROR && U_FAILURE(status)) return {};
  Output output(static_cast<std::size_t>(needed), typename Output::value_type{});
  status = U_ZERO_ERROR;
  call(output.data(), needed, status);
  return U_FAILURE(status) ? Output{} : output;
}

std::u16string normalized(const UNormalizer2* normalizer, std::u16string_view units) {
  const auto length = static_cast<int32_t>(units.size());
  std::u16string result =
      preflighted<std::u16string>([&](char16_t* out, int32_t capacity, UErrorCode& status) {
        return unorm2_normalize(normalizer, units.data(), length, out, capacity, &status);
      });
  return result.empty() ? std::u16string(units) : result;
}

}  // namespace

std::optional<std::u16string> decode(std::string_view bytes, const std::string& charset) {
  const Converter converter = openConverter(charset);
  if (!converter) return std::nullopt;
  const auto length = static_cast<int32_t>(bytes.size());
  return preflighted<std::u16string>([&](char16_t* out, int32_t capacity, UErrorCode& status) {
    return ucnv_toUChars(converter.get(), out, capacity, bytes.data(), length, &status);
  });
}

std::optional<std::string> encode(std::u16string_view units, const std::string& charset) {
  const Converter converter = openConverter(charset);
  if (!converter) return std::nullopt;
  const auto length = static_cast<int32_t>(units.size());
  return preflighted<std::string>([&](char* out, int32_t capacity, UErrorCode& status) {
    return ucnv_fromUChars(converter.get(), out, capacity, units.data(), length, &status);
  });
}

std::u16string compose(std::u16string_view units) {
  UErrorCode status = U_ZERO_ERROR;
  const UNormalizer2* nfc = unorm2_getNFCInstance(&status);
  if (U_FAILURE(status)) return std::u16string(units);
  const auto length = static_cast<int32_t>(units.size());
  std::u16string result;
  result.reserve(units.size());
  int32_t next = 0;
  while (next < length) {
    const int32_t start = next;
    UChar32 character = 0;
    U16_NEXT(units.data(), next, length, character);
    int32_t end = next;
    while (end < length) {  // take the combining marks that follow
      int32_t after = end;
      U16_NEXT(units.data(), after, length, character);
      if (u_getCombiningClass(character) == 0) break;
      end = after;
    }
    const std::u16string_view cluster = units.substr(static_cast<std::size_t>(start),
                                                     static_cast<std::size_t>(end - start));
    if (end == next) {
      result.append(cluster);
    } else {
      result.append(normalized(nfc, cluster));
    }
    next = end;
  }
  return result;
}

}  // namespace pindlewick::charset_codec
