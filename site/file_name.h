// The names the parts of a video are saved under.
#pragma once

#include <map>
#include <set>
#include <string>
#include <string_view>

namespace pindlewick::site {

// The longest file name, in bytes, that the usual file systems store.
inline constexpr std::size_t kLongestFileName = 255;

// The file name (no folder) of part `number` of a video with partCount parts,
// in UTF-8 and ending in ".mp4": "P" + the number, zero-padded to the digits
// of partCount, + " " + the part's title when there are several parts; the
// video's title when there is one. Characters some file system cannot store
// become their full-width forms, control characters go, blanks at both ends
// and dots at the end are trimmed, a name left empty becomes "P" + the
// number, and a name too long is cut on a character boundary.
std::string partFileName(std::string_view videoTitle, std::string_view partTitle, int number,
                         int partCount);

// The names handed out in one batch, so that no two parts write one file.
class BatchNames {
 public:
  // name (as partFileName gives it) for the part that key stands for, or,
  // when another part already has that name (ASCII letters in either case,
  // as Windows and FAT compare them), name with " (2)", " (3)" … before its
  // extension. A key asked for again gets its first name back.
  std::string claim(const std::string& key, const std::string& name);

 private:
  std::map<std::string, std::string> byKey_;
  std::set<std::string> takenFolded_;
};

}  // namespace pindlewick::site
