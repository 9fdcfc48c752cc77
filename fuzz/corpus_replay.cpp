// Stands in for libFuzzer's main in the normal builds: feeds every file of the
// folders named on the command line to the fuzz target once, so the test run
// replays the corpus under the normal compiler and sanitizers.
#include <algorithm>
#include <cstddef>
#include <cstdint>
#include <filesystem>
#include <fstream>
#include <iostream>
#include <iterator>
#include <vector>

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size);

namespace {

std::vector<std::filesystem::path> inputsIn(const std::filesystem::path& folder) {
  std::vector<std::filesystem::path> inputs;
  for (const auto& entry : std::filesystem::directory_iterator(folder)) {
    if (entry.is_regular_file()) inputs.push_back(entry.path());
  }
  std::sort(inputs.begin(), inputs.end());  // the same order on every run
  return inputs;
}

std::vector<std::uint8_t> contentsOf(const std::filesystem::path& file) {
  std::ifstream in(file, std::ios::binary);
  return {std::istreambuf_iterator<char>(in), std::istreambuf_iterator<char>()};
}

}  // namespace

int main(int argc, char** argv) {
  if (argc < 2) {
    std::cerr << "usage: " << argv[0] << " CORPUS_FOLDER...\n";
    return 2;
  }
  std::size_t replayed = 0;
  for (int arg = 1; arg < argc; ++arg) {
    for (const auto& input : inputsIn(argv[arg])) {
      std::cout << "replaying " << input.filename().string() << std::endl;
      const std::vector<std::uint8_t> bytes = contentsOf(input);
      LLVMFuzzerTestOneInput(bytes.data(), bytes.size());
      ++replayed;
    }
  }
  std::cout << "replayed " << replayed << " inputs\n";
  return replayed == 0 ? 1 : 0;  // an empty corpus would prove nothing
}
