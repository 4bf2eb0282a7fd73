#pragma once
#include <gtest/gtest.h>

#include <memory>
#include <string>

#include "base/program_identity.h"
#include "platform/headless/headless_backend.h"
#include "roll/saver_window.h"
#include "support/temp_dir.h"

namespace velloway::testing {

// The saver window on the headless backend, with its scripts in a temporary script folder.
class SaverTest : public ::testing::Test {
 protected:
  SaverTest() { Restart(); }

  headless::HeadlessBackend& backend() { return *backend_; }
  // A new machine state: a fresh backend, no saver running, the same script folder.
  void Restart() {
    saver_.reset();
    backend_ = std::make_unique<headless::HeadlessBackend>();
    backend_->SetScriptFolder(dir_.Utf8());
    backend_->SetFileNames(MachineFileNames());
  }

  // Writes the script as Default.vws (or under name, which becomes the stored choice).
  void WriteScript(const std::string& text,
                   const std::string& name = std::string(identity::kDefaultScript)) {
    dir_.Write(name, text);
    if (name != identity::kDefaultScript) Choose(name);
  }
  void Choose(const std::string& name) {
    backend_->SettingsStore().Write(identity::kAppName, identity::kSettingSection,
                                    identity::kScriptFileNameKey, name);
  }
  SaverWindow& StartSaver(RollOptions options = {}) {
    saver_ = std::make_unique<SaverWindow>(
        *backend_, ReadChosenScript(forms::Application(*backend_, backend_->Settings()), *backend_),
        options);
    saver_->Show();
    return *saver_;
  }
  const headless::HeadlessWindow& ShownWindow() const { return *backend_->Window(saver_->Id()); }

  TempDir dir_;
  std::unique_ptr<headless::HeadlessBackend> backend_;
  std::unique_ptr<SaverWindow> saver_;
};

}  // namespace velloway::testing
