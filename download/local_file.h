// The local file a download writes into: one owner for its descriptor (a
// Windows handle on Windows). local_file.cpp holds what both platforms share,
// local_file_posix.cpp and local_file_win32.cpp the system calls.
#pragma once

#include <cstddef>
#include <cstdint>
#include <filesystem>

namespace pindlewick {

class LocalFile {
 public:
  enum class Mode { rewrite, append };

  // rewrite creates the file or empties it; append keeps what it holds
  // (creating it when it is missing) and writes from its end. Not open when
  // that fails.
  static LocalFile open(const std::filesystem::path& path, Mode mode);

  LocalFile() = default;
  LocalFile(LocalFile&& other) noexcept;
  LocalFile& operator=(LocalFile&& other) noexcept;
  LocalFile(const LocalFile&) = delete;
  LocalFile& operator=(const LocalFile&) = delete;
  ~LocalFile();

  bool isOpen() const { return handle_ != kClosed; }
  // Writes all the bytes; false when the system refuses any of them (a full
  // disk, a file size limit). What was written before stays.
  bool write(const char* data, std::size_t size);
  // Closes the file; false when the system reports a failure only now (a
  // quota, a network file system flushing late). Not open afterwards either way.
  bool close();

 private:
  // A POSIX descriptor or a Windows HANDLE; -1 is neither (it is what a failed
  // open() returns, and INVALID_HANDLE_VALUE).
  using Handle = std::intptr_t;
  static constexpr Handle kClosed = -1;

  explicit LocalFile(Handle handle) : handle_(handle) {}
  // Closes the open handle it is given; false when the system reports a failure.
  static bool closeHandle(Handle handle);

  Handle handle_ = kClosed;
};

}  // namespace pindlewick
