#include "programs/linux/watched_roll.h"

#include <chrono>
#include <optional>
#include <utility>

#include "base/utf8_path.h"
#include "check_report.h"
#include "programs/linux/watched_file.h"
#include "script/script_loader.h"

namespace velloway::linux {
namespace {

std::int64_t NowMs() {
  return std::chrono::duration_cast<std::chrono::milliseconds>(
             std::chrono::steady_clock::now().time_since_epoch())
      .count();
}

}  // namespace

// The file is looked at before it is read: a save while it is read is seen at the next look.
WatchedRoll::WatchedRoll(platform::Backend& backend, platform::WindowId host, std::string path,
                         RollOptions options)
    : backend_(backend),
      host_(host),
      path_(std::move(path)),
      fileName_(utf8::FromPath(utf8::ToPath(path_).filename())),
      options_(options),
      watch_(LookAtFile(path_), NowMs()),
      lookTimer_(backend.CreateTimer([this] { Look(); })) {
  Play();
  lookTimer_->Run(kLookInterval);
}

void WatchedRoll::Look() {
  // A tick of the roll runs the waiting events while its music starts: its window stays until
  // the tick is over, and the file is looked at again next time.
  if (saver_->Roll().Ticking()) return;
  if (watch_.Step(LookAtFile(path_), NowMs())) Play();
}

void WatchedRoll::Play() {
  LoadedScript script = LoadScriptFile(path_, backend_.ScriptCodePage());
  std::optional<std::string> problem = check::FirstPlayingError(fileName_, script);
  auto next =
      std::make_unique<SaverWindow>(backend_, std::move(script), options_, std::move(problem));
  next->Load();
  next->EmbedIn(host_);
  next->Show();
  // The new window is shown before the old one goes, so that the program always has a window.
  // The old roll's music goes with it: the new roll finds the device closed, as a new program
  // does.
  saver_ = std::move(next);
  backend_.Music().Stop();
  backend_.Music().Close();
}

}  // namespace velloway::linux
