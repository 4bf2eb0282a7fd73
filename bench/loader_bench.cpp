// Loading speed and memory of roll scripts, beside a plain read of the same bytes split at
// line ends. Prints MB/s for both, their ratio, and the memory a loaded script takes per record.
#include <benchmark/benchmark.h>

#include <atomic>
#include <cstdio>
#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <map>
#include <new>
#include <string>
#include <vector>

#include "platform/codepage.h"
#include "script/script_loader.h"

namespace {

// Live heap bytes, counted by the replaced global operator new and delete below.
std::atomic<long long> g_liveBytes{0};
constexpr std::size_t kHeader = alignof(std::max_align_t);

constexpr int kRecordLines = 100'000;

std::string ScriptPath() {
  return (std::filesystem::temp_directory_path() / "velloway-bench-100k.vws").string();
}

// A script of kRecordLines record lines like those people write, with a header and comments.
void WriteScript(const std::string& path) {
  std::ofstream out(path, std::ios::binary);
  out << "HEADER\t12\t3\tMID\t000000\r\n# generated for the loader benchmark\r\n";
  for (int i = 0; i < kRecordLines; ++i) {
    switch (i % 8) {
      case 0:
        out << "TEXT\tTimes New Roman\t4\tDirected by Someone Famous\tFFFFFF\t2\r\n";
        break;
      case 1:
        out << "TEXT\tArial\t1\tKey grip " << i << "\tC0C0C0\t1\r\n";
        break;
      case 2:
        out << "TEXT\tIPAGothic\t2\t\xE6\x92\xAE\xE5\xBD\xB1\xE3\x80\x80\xE5\xB1\xB1\xE7\x94\xB0"
               "\xE5\xA4\xAA\xE9\x83\x8E\tFFFF80\t1\r\n";
        break;
      case 3:
        out << "text\tArial\t0\t\tFFFFFF\t1\r\n";
        break;
      case 4:
        out << "WAIT\t2\r\n";
        break;
      case 5:
        out << "TEXT\tArial\t1\tA somewhat longer line of thanks to everyone\t80FF80\t1.5\r\n";
        break;
      case 6:
        out << "BGM\tON\tmusic\\theme.wav\r\n";
        break;
      default:
        out << "CLEAR\r\n";
        break;
    }
  }
}

std::vector<std::string> PlainReadLines(const std::string& path) {
  std::ifstream in(path, std::ios::binary);
  std::vector<std::string> lines;
  std::string line;
  while (std::getline(in, line)) lines.push_back(line);
  return lines;
}

void BM_PlainReadSplitLines(benchmark::State& state) {
  const auto bytes = static_cast<std::int64_t>(std::filesystem::file_size(ScriptPath()));
  for (auto _ : state) benchmark::DoNotOptimize(PlainReadLines(ScriptPath()));
  state.SetBytesProcessed(state.iterations() * bytes);
}

void BM_LoadScriptFile(benchmark::State& state) {
  const auto bytes = static_cast<std::int64_t>(std::filesystem::file_size(ScriptPath()));
  const unsigned codePage = velloway::platform::SystemCodePage();
  for (auto _ : state) benchmark::DoNotOptimize(velloway::LoadScriptFile(ScriptPath(), codePage));
  state.SetBytesProcessed(state.iterations() * bytes);
}

BENCHMARK(BM_PlainReadSplitLines)->Unit(benchmark::kMillisecond)->MinTime(2.0);
BENCHMARK(BM_LoadScriptFile)->Unit(benchmark::kMillisecond)->MinTime(2.0);

// Keeps each benchmark's time per iteration, to print the ratio at the end.
class RatioReporter : public benchmark::ConsoleReporter {
 public:
  // Plain text: the figures are read from logs and pasted into the docs.
  RatioReporter() : ConsoleReporter(OO_Tabular) {}
  void ReportRuns(const std::vector<Run>& runs) override {
    for (const Run& run : runs) seconds_[run.benchmark_name()] = run.GetAdjustedRealTime();
    ConsoleReporter::ReportRuns(runs);
  }
  double Time(const std::string& name) const { return seconds_.at(name); }

 private:
  std::map<std::string, double> seconds_;
};

void PrintMemoryPerRecord() {
  const long long before = g_liveBytes.load();
  {
    const velloway::LoadedScript script =
        velloway::LoadScriptFile(ScriptPath(), velloway::platform::SystemCodePage());
    const long long used = g_liveBytes.load() - before;
    std::printf(
        "memory: %lld bytes for %d records = %.1f bytes per record (sizeof(RollRecord) %zu)\n",
        used, script.RecordCount(), static_cast<double>(used) / script.RecordCount(),
        sizeof(velloway::RollRecord));
  }
}

}  // namespace

void* operator new(std::size_t size) {
  auto* block = static_cast<unsigned char*>(std::malloc(size + kHeader));
  if (block == nullptr) throw std::bad_alloc();
  *reinterpret_cast<std::size_t*>(block) = size;
  g_liveBytes += static_cast<long long>(size);
  return block + kHeader;
}

void operator delete(void* p) noexcept {
  if (p == nullptr) return;
  auto* block = static_cast<unsigned char*>(p) - kHeader;
  g_liveBytes -= static_cast<long long>(*reinterpret_cast<std::size_t*>(block));
  std::free(block);
}

void operator delete(void* p, std::size_t) noexcept {
  operator delete(p);
}

int main(int argc, char** argv) {
  WriteScript(ScriptPath());
  benchmark::Initialize(&argc, argv);
  RatioReporter reporter;
  benchmark::RunSpecifiedBenchmarks(&reporter);
  std::printf("\nloader / plain read-and-split time ratio: %.2f (goal: within 3)\n",
              reporter.Time("BM_LoadScriptFile/min_time:2.000") /
                  reporter.Time("BM_PlainReadSplitLines/min_time:2.000"));
  PrintMemoryPerRecord();
  std::filesystem::remove(ScriptPath());
  benchmark::Shutdown();
}
