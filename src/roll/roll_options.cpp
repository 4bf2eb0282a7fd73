#include "roll/roll_options.h"

#include "base/program_identity.h"
#include "script/script_loader.h"

namespace velloway {
namespace {

bool ReadSwitch(const forms::Application& app, std::string_view key) {
  return app.GetSetting(identity::kAppName, identity::kSettingSection, key, "0") == "1";
}

void SaveSwitch(const forms::Application& app, std::string_view key, bool on) {
  app.SaveSetting(identity::kAppName, identity::kSettingSection, key, on ? "1" : "0");
}

}  // namespace

RollOptions ReadRollOptions(const forms::Application& app) {
  return {ReadSwitch(app, identity::kSmoothMotionKey), ReadSwitch(app, identity::kEveryMonitorKey)};
}

void SaveRollOptions(const forms::Application& app, const RollOptions& options) {
  SaveSwitch(app, identity::kSmoothMotionKey, options.SmoothMotion);
  SaveSwitch(app, identity::kEveryMonitorKey, options.EveryMonitor);
}

LoadedScript ReadChosenScript(const forms::Application& app, platform::Environment& environment) {
  const std::string fileName =
      app.GetSetting(identity::kAppName, identity::kSettingSection, identity::kScriptFileNameKey,
                     identity::kDefaultScript);
  return LoadChosenScript(environment.ScriptFolder(), fileName, environment.ScriptCodePage(),
                          environment.FileNames());
}

}  // namespace velloway
