// Loading speed and memory of roll scripts, beside a plain read of the same bytes split at line
// ends: MB/s and their ratio for scripts of ordinary lines and of one-character lines; checking
// the ordinary lines as velloway-check does (loading them, then the checks with this machine's
// fonts and files), beside loading them; the heap a loaded script keeps per record and the most
// it takes while loading; and that peak for the worst scripts the size limit allows, as a
// multiple of the file's size.
#include <benchmark/benchmark.h>
#include <malloc.h>

#include <atomic>
#include <cstdio>
#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <functional>
#include <map>
#include <new>
#include <string>
#include <vector>

#include "check_platform.h"
#include "platform/codepage.h"
#include "script/script_loader.h"
#include "script_checks.h"

namespace {

// Live heap bytes and their highest mark, counted by the replaced global operator new and
// delete below.
std::atomic<long long> g_liveBytes{0};
std::atomic<long long> g_peakBytes{0};
constexpr std::size_t kHeader = alignof(std::max_align_t);

constexpr int kOrdinaryLines = 100'000;
constexpr int kOneCharacterLines = 2'000'000;
constexpr double kMB = 1024.0 * 1024.0;

// The benchmark's own folder, with the music file its ordinary script names, so that checking
// that script finds nothing to say and checks every record.
std::filesystem::path MakeBenchDirectory() {
  const std::filesystem::path dir = std::filesystem::temp_directory_path() / "velloway-bench";
  std::filesystem::create_directories(dir / "music");
  std::ofstream(dir / "music" / "theme.wav", std::ios::binary);
  return dir;
}

// A script of record lines like those people write, with a header and comments.
void WriteOrdinaryScript(const std::string& path) {
  std::ofstream out(path, std::ios::binary);
  out << "HEADER\t12\t3\tMID\t000000\r\n# generated for the loader benchmark\r\n";
  for (int i = 0; i < kOrdinaryLines; ++i) {
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

// prefix, then `line` over and over until the file holds `bytes`.
void WriteRepeated(const std::string& path, const std::string& prefix, const std::string& line,
                   std::size_t bytes) {
  std::string block;
  while (block.size() < (1u << 20)) block += line;
  std::ofstream out(path, std::ios::binary);
  out << prefix;
  std::size_t written = prefix.size();
  while (written + block.size() <= bytes) {
    out << block;
    written += block.size();
  }
  for (; written + line.size() <= bytes; written += line.size()) out << line;
}

std::vector<std::string> PlainReadLines(const std::string& path) {
  std::ifstream in(path, std::ios::binary);
  std::vector<std::string> lines;
  std::string line;
  while (std::getline(in, line)) lines.push_back(line);
  return lines;
}

velloway::LoadedScript Load(const std::string& path, unsigned codePage) {
  return velloway::LoadScriptFile(path, codePage);
}

long long FileBytes(const std::string& path) {
  return static_cast<long long>(std::filesystem::file_size(path));
}

void BM_PlainRead(benchmark::State& state, const std::string& path) {
  for (auto _ : state) benchmark::DoNotOptimize(PlainReadLines(path));
  state.SetBytesProcessed(state.iterations() * FileBytes(path));
}

void BM_Load(benchmark::State& state, const std::string& path) {
  const unsigned codePage = velloway::platform::SystemCodePage();
  for (auto _ : state) benchmark::DoNotOptimize(Load(path, codePage));
  state.SetBytesProcessed(state.iterations() * FileBytes(path));
}

// What velloway-check does without --timeline.
void BM_Check(benchmark::State& state, const std::string& path) {
  const unsigned codePage = velloway::platform::SystemCodePage();
  const auto environment =
      velloway::check::MachineEnvironment(std::filesystem::path(path).parent_path().string());
  std::size_t found = 0;
  for (auto _ : state) {
    const velloway::LoadedScript script = Load(path, codePage);
    found = velloway::check::CheckScript(script, environment).size();
    benchmark::DoNotOptimize(found);
  }
  state.SetBytesProcessed(state.iterations() * FileBytes(path));
  state.counters["diagnostics"] = static_cast<double>(found);
}

// Keeps each benchmark's time per iteration, to print the ratios at the end.
class RatioReporter : public benchmark::ConsoleReporter {
 public:
  // Plain text: the figures are read from logs and pasted into the docs.
  RatioReporter() : ConsoleReporter(OO_Tabular) {}
  void ReportRuns(const std::vector<Run>& runs) override {
    for (const Run& run : runs) seconds_[run.run_name.function_name] = run.GetAdjustedRealTime();
    ConsoleReporter::ReportRuns(runs);
  }
  double Time(const std::string& name) const { return seconds_.at(name); }

 private:
  std::map<std::string, double> seconds_;
};

// The heap a made thing keeps, and the most the heap held while it was made, both above what
// it held before.
struct HeapUse {
  long long kept = 0;
  long long peak = 0;
  std::size_t items = 0;
};

template <typename Make, typename Count>
HeapUse MeasureHeap(Make make, Count count) {
  const long long before = g_liveBytes.load();
  g_peakBytes = before;
  const auto made = make();
  return {g_liveBytes.load() - before, g_peakBytes.load() - before, count(made)};
}

HeapUse LoaderHeap(const std::string& path, unsigned codePage) {
  return MeasureHeap(
      [&] { return Load(path, codePage); },
      [](const velloway::LoadedScript& s) { return static_cast<std::size_t>(s.RecordCount()); });
}

HeapUse PlainReadHeap(const std::string& path) {
  return MeasureHeap([&] { return PlainReadLines(path); },
                     [](const std::vector<std::string>& lines) { return lines.size(); });
}

void PrintMemory(const char* what, const std::string& path) {
  const double file = static_cast<double>(FileBytes(path));
  const HeapUse loader = LoaderHeap(path, velloway::platform::SystemCodePage());
  const HeapUse plain = PlainReadHeap(path);
  const auto perItem = [](long long bytes, std::size_t items) {
    return static_cast<double>(bytes) / static_cast<double>(items);
  };
  std::printf("%-22s %8.1f MB %9zu records\n", what, file / kMB, loader.items);
  std::printf(
      "  %-20s %9.1f bytes/record (%5.1f beyond the file's bytes), peak %7.1f MB = %4.2f x file\n",
      "loader", perItem(loader.kept, loader.items),
      perItem(loader.kept - static_cast<long long>(file), loader.items),
      static_cast<double>(loader.peak) / kMB, static_cast<double>(loader.peak) / file);
  std::printf("  %-20s %9.1f bytes/line, peak %7.1f MB = %4.2f x file\n", "plain read",
              perItem(plain.kept, plain.items), static_cast<double>(plain.peak) / kMB,
              static_cast<double>(plain.peak) / file);
  std::printf("  loader / plain read: %.2f per record, %.2f at the peak\n",
              perItem(loader.kept, loader.items) / perItem(plain.kept, plain.items),
              static_cast<double>(loader.peak) / static_cast<double>(plain.peak));
}

struct WorstCase {
  const char* what;
  std::string prefix;
  std::string line;
  unsigned codePage;
};

// Scripts as large as the loader takes, of the lines that cost it most: one record for every two
// bytes, in the encodings that grow most when turned into UTF-8.
void PrintWorstCases(const std::filesystem::path& dir) {
  const std::string utf16Line("a\0\n\0", 4);
  const WorstCase cases[] = {
      {"UTF-8 \"a\" LF", "", "a\n", 1252},
      {"UTF-16 \"a\" LF", "\xFF\xFE", utf16Line, 1252},
      {"UTF-16 U+4E00 LF", "\xFF\xFE", std::string("\x00\x4E\n\0", 4), 1252},
      {"1252 0x80 LF (euro sign)", "", "\x80\n", 1252},
      {"Shift-JIS 0xB1 LF", "", "\xB1\n", 932},
      {"broken UTF-8 after a BOM", "\xEF\xBB\xBF", "\x80\n", 1252},
      {"1252 0x80, no line end", "", "\x80", 1252},
  };
  const auto bytes = velloway::kMaxScriptBytes;
  const double bound = 4.5 * static_cast<double>(bytes) + 64 * kMB;
  std::printf(
      "\nworst cases at the size limit (%.0f MB): peak heap while loading, goal <= 4.5 x file + "
      "64 MB = %.0f MB\n",
      static_cast<double>(bytes) / kMB, bound / kMB);
  const std::string path = (dir / "velloway-bench-worst.vws").string();
  for (const WorstCase& c : cases) {
    WriteRepeated(path, c.prefix, c.line, bytes);
    const HeapUse use = LoaderHeap(path, c.codePage);
    const double peak = static_cast<double>(use.peak);
    std::printf("  %-26s %10zu records, kept %7.1f MB, peak %7.1f MB = %4.2f x file %s\n", c.what,
                use.items, static_cast<double>(use.kept) / kMB, peak / kMB,
                peak / static_cast<double>(bytes), peak <= bound ? "" : "OVER THE GOAL");
  }
  std::filesystem::remove(path);
}

}  // namespace

void* operator new(std::size_t size) {
  auto* block = static_cast<unsigned char*>(std::malloc(size + kHeader));
  if (block == nullptr) throw std::bad_alloc();
  *reinterpret_cast<std::size_t*>(block) = size;
  const long long live = g_liveBytes += static_cast<long long>(size);
  long long peak = g_peakBytes.load();
  while (live > peak && !g_peakBytes.compare_exchange_weak(peak, live)) {
  }
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
  // Rounds keep the memory they free for the next: glibc otherwise gives it back to the system,
  // or keeps it, by a threshold a few bytes of a round can cross, and every round then measures
  // faulting its pages in again rather than the reading.
  mallopt(M_MMAP_THRESHOLD, 32 << 20);
  mallopt(M_TRIM_THRESHOLD, 1 << 30);
  const std::filesystem::path dir = MakeBenchDirectory();
  const std::string ordinary = (dir / "velloway-bench-100k.vws").string();
  const std::string oneCharacter = (dir / "velloway-bench-1char.vws").string();
  WriteOrdinaryScript(ordinary);
  WriteRepeated(oneCharacter, "HEADER\t12\t3\tMID\t000000\r\n", "a\r\n",
                static_cast<std::size_t>(kOneCharacterLines) * 3 + 25);

  benchmark::Initialize(&argc, argv);
  for (const auto& [name, path] :
       {std::pair{"ordinary", ordinary}, {"one_character", oneCharacter}}) {
    benchmark::RegisterBenchmark((std::string("plain_read/") + name).c_str(), BM_PlainRead, path)
        ->Unit(benchmark::kMillisecond)
        ->MinTime(2.0);
    benchmark::RegisterBenchmark((std::string("load/") + name).c_str(), BM_Load, path)
        ->Unit(benchmark::kMillisecond)
        ->MinTime(2.0);
  }
  benchmark::RegisterBenchmark("check/ordinary", BM_Check, ordinary)
      ->Unit(benchmark::kMillisecond)
      ->MinTime(2.0);
  RatioReporter reporter;
  benchmark::RunSpecifiedBenchmarks(&reporter);
  std::printf(
      "\nloader / plain read-and-split time ratio (goal: within 3): %.2f for ordinary lines, %.2f "
      "for one-character lines\n",
      reporter.Time("load/ordinary") / reporter.Time("plain_read/ordinary"),
      reporter.Time("load/one_character") / reporter.Time("plain_read/one_character"));
  std::printf(
      "checking %d ordinary lines (loading them and the checks): %.2f ms, loading them: %.2f ms, "
      "ratio %.2f (goal: within 3)\n",
      kOrdinaryLines, reporter.Time("check/ordinary"), reporter.Time("load/ordinary"),
      reporter.Time("check/ordinary") / reporter.Time("load/ordinary"));

  std::printf("\nheap memory (a record's goal: at most about 16 bytes beyond its own text)\n");
  PrintMemory("ordinary lines", ordinary);
  PrintMemory("one-character lines", oneCharacter);
  PrintWorstCases(dir);
  std::filesystem::remove_all(dir);
  benchmark::Shutdown();
}
