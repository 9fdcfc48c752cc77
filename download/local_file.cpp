// What the local file does alike on every platform: one owner for its handle.
#include "download/local_file.h"

#include <utility>

namespace pindlewick {

LocalFile::LocalFile(LocalFile&& other) noexcept : handle_(std::exchange(other.handle_, kClosed)) {}

LocalFile& LocalFile::operator=(LocalFile&& other) noexcept {
  if (this != &other) {
    close();
    handle_ = std::exchange(other.handle_, kClosed);
  }
  return *this;
}

LocalFile::~LocalFile() { close(); }

bool LocalFile::close() {
  if (!isOpen()) return true;
  // Taken first: the system releases the handle even when closing it fails,
  // so it is never closed twice.
  return closeHandle(std::exchange(handle_, kClosed));
}

}  // namespace pindlewick
