// Plays fuzzed scripts through the saver window and its roll engine on the headless backend for a
// few thousand ticks: no crash, no hang, the engine lists at most its 20 slots, and the window
// shows exactly the lines it lists.
#include <cstddef>
#include <cstdint>
#include <cstdlib>
#include <string>
#include <utility>

#include "platform/codepage.h"
#include "platform/headless/headless_backend.h"
#include "roll/saver_window.h"
#include "script/script_loader.h"

namespace {

constexpr int kTicks = 3000;

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
  using namespace velloway;
  headless::HeadlessBackend backend;
  SaverWindow saver(backend, LoadScriptBytes(std::string(reinterpret_cast<const char*>(data), size),
                                             platform::kDefaultCodePage));
  saver.Show();
  const std::int32_t interval = saver.TickTimer().Interval();
  if (interval == 0) return 0;  // speed 0: no ticks
  for (int tick = 0; tick < kTicks && !backend.Ended(); ++tick) backend.AdvanceTime(interval);
  const std::size_t listed = saver.Roll().Lines().size();
  if (listed > RollEngine::kLineSlots) std::abort();
  std::size_t visible = 0;
  for (int slot = 1; slot <= RollEngine::kLineSlots; ++slot) {
    visible += std::as_const(saver).LineLabel(slot).Visible() ? 1 : 0;
  }
  if (visible != listed) std::abort();
  return 0;
}
