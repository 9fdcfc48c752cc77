// The charset adapter: conversion between named charsets and UTF-16, on ICU
// (charset_codec_icu.cpp). Names are resolved through the platform's alias
// table ("gbk", "utf-8", "big5", ...).
#pragma once

#include <optional>
#include <string>
#include <string_view>

namespace pindlewick::charset_codec {

// Decodes bytes in the named charset. Byte sequences that are not valid there
// become U+FFFD (or U+001A, where the charset's table says so). nullopt when
// ICU does not know the name.
std::optional<std::u16string> decode(std::string_view bytes, const std::string& charset);

// Encodes UTF-16 into the named charset; characters it cannot hold become "?".
// nullopt when ICU does not know the name.
std::optional<std::string> encode(std::u16string_view units, const std::string& charset);

// A base character followed by combining marks becomes the precomposed
// character where one exists. Nothing else changes: unlike full NFC, a CJK
// compatibility ideograph stays itself.
std::u16string compose(std::u16string_view units);

}  // namespace pindlewick::charset_codec
