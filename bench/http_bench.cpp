// httpRequest fetching large bodies from a loopback server, side by side with
// the curl and wget command lines on the same URL. Figures to read: MB_per_s
// for all three, and peak_MB_per_body_MB, the most memory the request held at
// once for each megabyte of body (the body itself and the text made from it).
#include <benchmark/benchmark.h>

#include <atomic>
#include <chrono>
#include <cstdlib>
#include <map>
#include <memory>
#include <new>
#include <string>
#include <vector>

#include "http/http_request.h"
#include "tests/support/test_servers.h"

namespace {

std::atomic<std::size_t> liveBytes{0};
std::atomic<std::size_t> peakBytes{0};

// Every allocation carries its size in front, so the live total can be kept.
constexpr std::size_t kHeader = alignof(std::max_align_t);

void* allocate(std::size_t size) {
  auto* block = static_cast<unsigned char*>(std::malloc(size + kHeader));
  if (!block) throw std::bad_alloc();
  *reinterpret_cast<std::size_t*>(block) = size;
  const std::size_t live = liveBytes += size;
  std::size_t peak = peakBytes.load();
  while (live > peak && !peakBytes.compare_exchange_weak(peak, live)) {
  }
  return block + kHeader;
}

void release(void* pointer) noexcept {
  if (!pointer) return;
  auto* block = static_cast<unsigned char*>(pointer) - kHeader;
  liveBytes -= *reinterpret_cast<std::size_t*>(block);
  std::free(block);
}

}  // namespace

void* operator new(std::size_t size) { return allocate(size); }
void* operator new[](std::size_t size) { return allocate(size); }
void operator delete(void* pointer) noexcept { release(pointer); }
void operator delete[](void* pointer) noexcept { release(pointer); }
void operator delete(void* pointer, std::size_t) noexcept { release(pointer); }
void operator delete[](void* pointer, std::size_t) noexcept { release(pointer); }

namespace pindlewick {
namespace {

constexpr std::size_t kMegabyte = 1 << 20;

// One server for the whole run, serving /body<N> with N megabytes.
testing::ScriptedServer& server() {
  static testing::ScriptedServer instance;
  return instance;
}

std::string bodyUrl(std::int64_t megabytes) {
  static std::map<std::int64_t, std::string> scripted;
  if (!scripted.contains(megabytes)) {
    const std::string path = "/body" + std::to_string(megabytes);
    const std::string body(static_cast<std::size_t>(megabytes) * kMegabyte, 'x');
    server().script(path, testing::response("200 OK", "Content-Type: application/octet-stream\r\n", body));
    scripted[megabytes] = server().url(path);
  }
  return scripted[megabytes];
}

template <typename Fetch>
void measure(benchmark::State& state, Fetch fetch) {
  const std::int64_t megabytes = state.range(0);
  const std::string url = bodyUrl(megabytes);
  double seconds = 0;
  for (auto _ : state) {
    const auto start = std::chrono::steady_clock::now();
    fetch(url, megabytes);
    seconds += std::chrono::duration<double>(std::chrono::steady_clock::now() - start).count();
  }
  const double total = static_cast<double>(megabytes) * static_cast<double>(state.iterations());
  state.counters["MB_per_s"] = total / seconds;
  state.counters["ms_per_MB"] = seconds * 1000 / total;
}

void HttpRequestBody(benchmark::State& state) {
  std::size_t peak = 0;
  measure(state, [&](const std::string& url, std::int64_t megabytes) {
    HttpRequestArgs args;
    args.url = Text(url);
    peakBytes = liveBytes.load();
    const std::size_t before = liveBytes;
    const Text text = httpRequest(args);
    if (text.size() != static_cast<std::size_t>(megabytes) * kMegabyte) state.SkipWithError("short body");
    peak = std::max(peak, peakBytes - before);
  });
  state.counters["peak_MB_per_body_MB"] =
      static_cast<double>(peak) / static_cast<double>(state.range(0) * static_cast<std::int64_t>(kMegabyte));
}

// A command line that fetches the URL given after its own arguments.
void CommandLine(benchmark::State& state, const std::vector<std::string>& command) {
  measure(state, [&](const std::string& url, std::int64_t) {
    std::vector<std::string> argv = command;
    argv.push_back(url);
    if (!testing::runCommand(argv)) state.SkipWithError("the command failed");
  });
}

#define PER_BODY_SIZE(...) \
  __VA_ARGS__->Arg(10)->Arg(50)->Arg(100)->Iterations(3)->Unit(benchmark::kMillisecond)

PER_BODY_SIZE(BENCHMARK(HttpRequestBody));
PER_BODY_SIZE(BENCHMARK_CAPTURE(CommandLine, curl, std::vector<std::string>{"curl", "-s", "-o", "/dev/null"}));
PER_BODY_SIZE(BENCHMARK_CAPTURE(CommandLine, wget, std::vector<std::string>{"wget", "-q", "-O", "/dev/null"}));

}  // namespace
}  // namespace pindlewick

BENCHMARK_MAIN();
