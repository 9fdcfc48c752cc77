// Preloaded into a program under test: close() of a file whose name ends in
// ".mp4" closes it and then reports EIO, as a network file system or a quota
// may report a write that failed only at close.
#include <dlfcn.h>
#include <unistd.h>

#include <array>
#include <cerrno>
#include <string>
#include <string_view>

namespace {

bool isVideo(int descriptor) {
  std::array<char, 4096> target{};
  const std::string link = "/proc/self/fd/" + std::to_string(descriptor);
  const ssize_t length = ::readlink(link.c_str(), target.data(), target.size() - 1);
  return length > 0 && std::string_view(target.data(), static_cast<std::size_t>(length)).ends_with(".mp4");
}

}  // namespace

extern "C" int close(int descriptor) {
  using Close = int (*)(int);
  static const auto realClose = reinterpret_cast<Close>(::dlsym(RTLD_NEXT, "close"));
  const bool fail = isVideo(descriptor);
  const int result = realClose(descriptor);
  if (result != 0 || !fail) return result;
  errno = EIO;
  return -1;
}
