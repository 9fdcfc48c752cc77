// The local file on Windows handles: WriteFile stores the bytes as given (no
// text mode), the name goes to the system in UTF-16 so that any name works
// whatever the system's code page, and others may read and write the file
// meanwhile, as on POSIX.
#include <windows.h>

#include <algorithm>
#include <limits>

#include "download/download.h"
#include "download/local_file.h"
#include "text/reserved_characters.h"

namespace pindlewick {

namespace {

// Windows opens a device, not a file, for these names whatever their
// extension: "con.mp4" is the console.
bool namesDevice(std::string_view name) {
  std::string stem(name.substr(0, name.find('.')));
  while (!stem.empty() && stem.back() == ' ') stem.pop_back();
  std::transform(stem.begin(), stem.end(), stem.begin(),
                 [](char c) { return c >= 'a' && c <= 'z' ? char(c - 'a' + 'A') : c; });
  if (stem == "CON" || stem == "PRN" || stem == "AUX" || stem == "NUL") return true;
  const bool port = stem.starts_with("COM") || stem.starts_with("LPT");
  return port && stem.size() == 4 && stem[3] >= '1' && stem[3] <= '9';
}

}  // namespace

std::string storableFileName(std::string_view name) {
  // The reserved characters are ASCII, so no byte of a longer UTF-8 sequence
  // is taken for one.
  std::string storable;
  for (const char c : name) {
    const std::string_view fullWidth = fullWidthOfReserved(static_cast<unsigned char>(c));
    if (fullWidth.empty()) {
      storable += c;
    } else {
      storable += fullWidth;
    }
  }
  return namesDevice(storable) ? "_" + storable : storable;
}

LocalFile LocalFile::open(const std::filesystem::path& path, Mode mode) {
  const HANDLE file =
      ::CreateFileW(path.c_str(), GENERIC_WRITE, FILE_SHARE_READ | FILE_SHARE_WRITE, nullptr,
                    mode == Mode::rewrite ? CREATE_ALWAYS : OPEN_ALWAYS, FILE_ATTRIBUTE_NORMAL, nullptr);
  // A file that cannot seek (a pipe) is simply written where it stands.
  if (file != INVALID_HANDLE_VALUE && mode == Mode::append) {
    ::SetFilePointerEx(file, LARGE_INTEGER{}, nullptr, FILE_END);
  }
  return LocalFile(reinterpret_cast<Handle>(file));
}

bool LocalFile::write(const char* data, std::size_t size) {
  const HANDLE file = reinterpret_cast<HANDLE>(handle_);
  while (size > 0) {
    const auto chunk = static_cast<DWORD>(std::min<std::size_t>(size, std::numeric_limits<DWORD>::max()));
    DWORD written = 0;
    if (!::WriteFile(file, data, chunk, &written, nullptr) || written == 0) return false;
    data += written;
    size -= written;
  }
  return true;
}

bool LocalFile::closeHandle(Handle handle) { return ::CloseHandle(reinterpret_cast<HANDLE>(handle)) != 0; }

}  // namespace pindlewick
