#include "download/local_file.h"

#include <fcntl.h>
#include <unistd.h>

#include <cerrno>
#include <utility>

namespace pindlewick {

LocalFile LocalFile::open(const std::filesystem::path& path, Mode mode) {
  const int flags = O_WRONLY | O_CREAT | O_CLOEXEC | (mode == Mode::rewrite ? O_TRUNC : 0);
  const int descriptor = ::open(path.c_str(), flags, 0666);
  // A file that cannot seek (a pipe) is simply written where it stands.
  if (descriptor >= 0 && mode == Mode::append) ::lseek(descriptor, 0, SEEK_END);
  return LocalFile(descriptor);
}

LocalFile::LocalFile(LocalFile&& other) noexcept
    : descriptor_(std::exchange(other.descriptor_, -1)) {}

LocalFile& LocalFile::operator=(LocalFile&& other) noexcept {
  if (this != &other) {
    close();
    descriptor_ = std::exchange(other.descriptor_, -1);
  }
  return *this;
}

LocalFile::~LocalFile() { close(); }

bool LocalFile::write(const char* data, std::size_t size) {
  while (size > 0) {
    const ssize_t written = ::write(descriptor_, data, size);
    if (written < 0 && errno == EINTR) continue;
    if (written <= 0) return false;
    data += written;
    size -= static_cast<std::size_t>(written);
  }
  return true;
}

bool LocalFile::close() {
  if (!isOpen()) return true;
  // Linux releases the descriptor even when close fails, EINTR included, so
  // it is never closed twice.
  return ::close(std::exchange(descriptor_, -1)) == 0;
}

}  // namespace pindlewick
