// The local file a download writes into: one owner for its descriptor.
#pragma once

#include <cstddef>
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

  bool isOpen() const { return descriptor_ >= 0; }
  // Writes all the bytes; false when the system refuses any of them (a full
  // disk, a file size limit). What was written before stays.
  bool write(const char* data, std::size_t size);
  // Closes the file; false when the system reports a failure only now (a
  // quota, a network file system flushing late). Not open afterwards either way.
  bool close();

 private:
  explicit LocalFile(int descriptor) : descriptor_(descriptor) {}
  int descriptor_ = -1;
};

}  // namespace pindlewick
