// The local file on POSIX descriptors.
#include "download/local_file.h"
#include "download/download.h"

#include <fcntl.h>
#include <unistd.h>

#include <cerrno>

namespace pindlewick {

std::string storableFileName(std::string_view name) { return std::string(name); }

LocalFile LocalFile::open(const std::filesystem::path& path, Mode mode) {
  const int flags = O_WRONLY | O_CREAT | O_CLOEXEC | (mode == Mode::rewrite ? O_TRUNC : 0);
  const int descriptor = ::open(path.c_str(), flags, 0666);
  // A file that cannot seek (a pipe) is simply written where it stands.
  if (descriptor >= 0 && mode == Mode::append) ::lseek(descriptor, 0, SEEK_END);
  return LocalFile(descriptor);
}

bool LocalFile::write(const char* data, std::size_t size) {
  const int descriptor = static_cast<int>(handle_);
  while (size > 0) {
    const ssize_t written = ::write(descriptor, data, size);
    if (written < 0 && errno == EINTR) continue;
    if (written <= 0) return false;
    data += written;
    size -= static_cast<std::size_t>(written);
  }
  return true;
}

// Linux releases the descriptor even when close fails, EINTR included.
bool LocalFile::closeHandle(Handle handle) { return ::close(static_cast<int>(handle)) == 0; }

}  // namespace pindlewick
