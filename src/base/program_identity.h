#pragma once
// The names by which the program is known outside itself: its settings in the user's store, its
// default script, and the captions of its windows, which a later start looks for to refuse to run
// beside a running copy. Stored settings and other programs rely on each: they never change.
// The installer (installer/velloway.nsi) and the Python end-to-end tests (tests/e2e) keep their
// own copies of those they use.
#include <array>
#include <string_view>

namespace velloway::identity {

// The settings: HKEY_CURRENT_USER\Software\<kAppName>\<section>, one text value per key.
inline constexpr std::string_view kAppName = "Velloway";
inline constexpr std::string_view kSettingSection = "Setting";
inline constexpr std::string_view kScriptFileNameKey = "ScriptFileName";
// The roll options, stored with the script choice: "1" on, "0" off.
inline constexpr std::string_view kSmoothMotionKey = "SmoothMotion";
inline constexpr std::string_view kEveryMonitorKey = "EveryMonitor";
// The installation record, written at every start.
inline constexpr std::string_view kInstallSection = "UpdateInfo";
inline constexpr std::string_view kApplicationPathKey = "ApplicationPath";
inline constexpr std::string_view kCurrentVersionKey = "CurrentVersion";

// The script played when none is chosen.
inline constexpr std::string_view kDefaultScript = "Default.vws";

// The windows' captions.
inline constexpr std::string_view kSaverCaption = "MAIN -+- Velloway";
inline constexpr std::string_view kSettingsCaption = "CONFIG -+- Velloway";
inline constexpr std::string_view kPreviewCaption = "Preview(Velloway)";
inline constexpr std::string_view kCoverCaption = "COVER -+- Velloway";
inline constexpr std::string_view kMirrorCaption = "MIRROR -+- Velloway";
// A start does not run while a window of one of these is open; a preview does not stop it.
inline constexpr std::array<std::string_view, 2> kRunningCopyCaptions = {kSaverCaption,
                                                                         kSettingsCaption};

}  // namespace velloway::identity
