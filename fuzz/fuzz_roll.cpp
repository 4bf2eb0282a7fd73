// Plays fuzzed scripts through the saver window's roll engine on the headless backend for a few
// thousand ticks: no crash, no hang, and the lines stay within their 20 slots.
#include <cstddef>
#include <cstdint>
#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <string>
#include <utility>

#include "identity/program_identity.h"
#include "platform/headless/headless_backend.h"
#include "roll/saver_window.h"

namespace {

constexpr int kTicks = 3000;

const std::filesystem::path& ProgramDirectory() {
  static const std::filesystem::path directory = [] {
    auto path = std::filesystem::temp_directory_path() / "velloway-fuzz-roll";
    std::filesystem::create_directories(path);
    return path;
  }();
  return directory;
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
  using namespace velloway;
  std::ofstream(ProgramDirectory() / identity::kDefaultScript, std::ios::binary)
      .write(reinterpret_cast<const char*>(data), static_cast<std::streamsize>(size));
  headless::HeadlessBackend backend;
  backend.SetAppPath(ProgramDirectory().string());
  SaverWindow saver(backend);
  saver.Show();
  const std::int32_t interval = saver.TickTimer().Interval();
  if (interval == 0) return 0;  // speed 0: no ticks
  for (int tick = 0; tick < kTicks && !backend.Ended(); ++tick) backend.AdvanceTime(interval);
  int visible = std::as_const(saver).TemplateLabel().Visible() ? 1 : 0;
  for (int slot = 1; slot <= SaverWindow::kLineSlots; ++slot) {
    visible += std::as_const(saver).LineLabel(slot).Visible() ? 1 : 0;
  }
  if (visible > SaverWindow::kLineSlots) std::abort();
  return 0;
}
