#include "programs/linux/watched_roll.h"

#include <sys/stat.h>

#include <chrono>
#include <optional>
#include <utility>

#include "base/utf8_path.h"
#include "check_report.h"
#include "script/script_loader.h"

namespace velloway::linux {
namespace {

// What the name leads to now; a name that leads nowhere shows a missing file. Never opens the
// file: a pipe or a device under the name is looked at as safely as any file.
WatchedFileState LookAt(const std::string& path) {
  struct stat info {};
  if (::stat(path.c_str(), &info) != 0) return {};
  constexpr std::int64_t kNsPerSecond = 1'000'000'000;
  return {true, static_cast<std::uint64_t>(info.st_size),
          std::int64_t{info.st_mtim.tv_sec} * kNsPerSecond + info.st_mtim.tv_nsec,
          static_cast<std::uint64_t>(info.st_ino)};
}

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
      watch_(LookAt(path_), NowMs()),
      lookTimer_(backend.CreateTimer([this] { Look(); })) {
  Play();
  lookTimer_->Run(kLookInterval);
}

void WatchedRoll::Look() {
  // A tick of the roll runs the waiting events while its music starts: its window stays until
  // the tick is over, and the file is looked at again next time.
  if (saver_->Roll().Ticking()) return;
  if (watch_.Step(LookAt(path_), NowMs())) Play();
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
