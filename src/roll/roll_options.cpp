#include "roll/roll_options.h"

namespace velloway {
namespace {

bool ReadSwitch(const forms::Application& app, std::string_view key) {
  return app.GetSetting("Velloway", "Setting", key, "0") == "1";
}

void SaveSwitch(const forms::Application& app, std::string_view key, bool on) {
  app.SaveSetting("Velloway", "Setting", key, on ? "1" : "0");
}

}  // namespace

RollOptions ReadRollOptions(const forms::Application& app) {
  return {ReadSwitch(app, "SmoothMotion"), ReadSwitch(app, "EveryMonitor")};
}

void SaveRollOptions(const forms::Application& app, const RollOptions& options) {
  SaveSwitch(app, "SmoothMotion", options.SmoothMotion);
  SaveSwitch(app, "EveryMonitor", options.EveryMonitor);
}

}  // namespace velloway
