// Throughput of the scanning text operations on large GBK pages. The figure
// to read is ms_per_MB: it must stay flat from 1 to 10 MB (linear time).
#include <benchmark/benchmark.h>

#include <chrono>
#include <string>

#include "text/codepage.h"
#include "text/phrases.h"
#include "text/text.h"

namespace pindlewick {
namespace {

constexpr std::size_t kMegabyte = 1 << 20;

// A page of mixed one- and two-byte characters with a marker every ~200 bytes,
// like the parse service's answers: GBK words, ASCII markup, "格式 MP4" markers.
Text gbkPage(std::size_t size) {
  const std::string chunk = utf8ToGbk(
      "<option value=\"https://cdn.example.com/v/1.mp4?k=1\">格式 MP4</option>"
      "标题中文视频 ABCDEF abcdef \u3000 0123456789 描述教程第一集<br/>\r\n").bytes();
  std::string page;
  page.reserve(size + chunk.size());
  while (page.size() < size) page += chunk;
  page.resize(size);
  if (static_cast<std::uint8_t>(page.back()) >= 0x80) page.back() = ' ';
  return Text(std::move(page));
}

// Runs the operation over and over and reports its time per megabyte of input.
template <typename Operation>
void measurePerMegabyte(benchmark::State& state, std::size_t size, Operation operation) {
  const auto start = std::chrono::steady_clock::now();
  for (auto _ : state) operation();
  const std::chrono::duration<double, std::milli> elapsed = std::chrono::steady_clock::now() - start;
  const double megabytes = static_cast<double>(size) / kMegabyte;
  state.SetBytesProcessed(static_cast<std::int64_t>(state.iterations() * size));
  state.counters["ms_per_MB"] = elapsed.count() / static_cast<double>(state.iterations()) / megabytes;
}

void FindTextMissing(benchmark::State& state) {
  const std::size_t size = static_cast<std::size_t>(state.range(0)) * kMegabyte;
  const Text page = gbkPage(size);
  const Text absent = utf8ToGbk("描述!");
  measurePerMegabyte(state, size, [&] { benchmark::DoNotOptimize(findText(page, absent, {}, false)); });
}

void FindTextIgnoringCase(benchmark::State& state) {
  const std::size_t size = static_cast<std::size_t>(state.range(0)) * kMegabyte;
  const Text page = gbkPage(size);
  measurePerMegabyte(state, size, [&] { benchmark::DoNotOptimize(findText(page, "ABCDEFG", {}, true)); });
}

void ReplaceTextEveryMarker(benchmark::State& state) {
  const std::size_t size = static_cast<std::size_t>(state.range(0)) * kMegabyte;
  const Text page = gbkPage(size);
  measurePerMegabyte(state, size, [&] {
    benchmark::DoNotOptimize(replaceText(page, "</option>", "</OPTION>\r\n", {}, {}, false));
  });
}

void SplitTextAtMarker(benchmark::State& state) {
  const std::size_t size = static_cast<std::size_t>(state.range(0)) * kMegabyte;
  const Text page = gbkPage(size);
  measurePerMegabyte(state, size, [&] { benchmark::DoNotOptimize(splitText(page, phrase(Phrase::formatMp4))); });
}

void ConcatTextGrowing(benchmark::State& state) {
  // Appending many pieces through one growing result must stay linear.
  const std::size_t size = static_cast<std::size_t>(state.range(0)) * kMegabyte;
  const Text piece = utf8ToGbk("中文 piece,");
  measurePerMegabyte(state, size, [&] {
    Text result;
    while (result.size() < size) result += concatText({piece, "; "});
    benchmark::DoNotOptimize(result);
  });
}

#define PER_SIZE(name) \
  BENCHMARK(name)->Arg(1)->Arg(4)->Arg(10)->Unit(benchmark::kMillisecond)->MinTime(0.2)

PER_SIZE(FindTextMissing);
PER_SIZE(FindTextIgnoringCase);
PER_SIZE(ReplaceTextEveryMarker);
PER_SIZE(SplitTextAtMarker);
PER_SIZE(ConcatTextGrowing);

}  // namespace
}  // namespace pindlewick

BENCHMARK_MAIN();
