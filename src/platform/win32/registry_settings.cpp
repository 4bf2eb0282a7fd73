#include <windows.h>

#include "platform/win32/registry_settings.h"

#include <limits>
#include <vector>

#include "platform/wide_text.h"
#include "platform/win32/win32_handles.h"

namespace velloway::win32 {
namespace {

// A value that changes size between the size query and the read is asked for again, a few times.
constexpr int kReadAttempts = 4;

std::optional<std::wstring> ReadString(HKEY key, const std::wstring& name) {
  for (int attempt = 0; attempt < kReadAttempts; ++attempt) {
    DWORD type = 0;
    DWORD bytes = 0;
    LSTATUS status = RegQueryValueExW(key, name.c_str(), nullptr, &type, nullptr, &bytes);
    if (status != ERROR_SUCCESS || type != REG_SZ) return std::nullopt;
    // Room for a terminator the stored data may lack; whole UTF-16 units only.
    std::vector<wchar_t> buffer(bytes / sizeof(wchar_t) + 1, L'\0');
    DWORD size = bytes;
    status = RegQueryValueExW(key, name.c_str(), nullptr, &type,
                              reinterpret_cast<BYTE*>(buffer.data()), &size);
    if (status == ERROR_MORE_DATA) continue;
    if (status != ERROR_SUCCESS || type != REG_SZ) return std::nullopt;
    const std::size_t length = size / sizeof(wchar_t);
    // The text ends at its terminator (stored with REG_SZ, possibly more than one).
    std::wstring_view text(buffer.data(), length);
    const std::size_t end = text.find(L'\0');
    if (end != std::wstring_view::npos) text = text.substr(0, end);
    return std::wstring(text);
  }
  return std::nullopt;
}

}  // namespace

std::optional<std::wstring> RegistrySettings::KeyPath(std::string_view app,
                                                      std::string_view section) const {
  if (app.empty() || section.empty()) return std::nullopt;
  return root_ + L'\\' + platform::Utf8ToWide(app) + L'\\' + platform::Utf8ToWide(section);
}

std::optional<std::string> RegistrySettings::Read(std::string_view app, std::string_view section,
                                                  std::string_view key) {
  const auto path = KeyPath(app, section);
  if (!path) return std::nullopt;
  HKEY opened = nullptr;
  if (RegOpenKeyExW(HKEY_CURRENT_USER, path->c_str(), 0, KEY_QUERY_VALUE, &opened) !=
      ERROR_SUCCESS) {
    return std::nullopt;
  }
  const UniqueKey owned(opened);
  const auto text = ReadString(owned.get(), platform::Utf8ToWide(key));
  if (!text) return std::nullopt;
  return platform::WideToUtf8(*text);
}

bool RegistrySettings::Write(std::string_view app, std::string_view section, std::string_view key,
                             std::string_view value) {
  const auto path = KeyPath(app, section);
  if (!path) return false;
  const std::wstring text = platform::Utf8ToWide(value);
  const std::size_t bytes = (text.size() + 1) * sizeof(wchar_t);
  if (bytes > std::numeric_limits<DWORD>::max()) return false;
  HKEY created = nullptr;
  if (RegCreateKeyExW(HKEY_CURRENT_USER, path->c_str(), 0, nullptr, REG_OPTION_NON_VOLATILE,
                      KEY_SET_VALUE, nullptr, &created, nullptr) != ERROR_SUCCESS) {
    return false;
  }
  const UniqueKey owned(created);
  const std::wstring name = platform::Utf8ToWide(key);
  return RegSetValueExW(owned.get(), name.c_str(), 0, REG_SZ,
                        reinterpret_cast<const BYTE*>(text.c_str()),
                        static_cast<DWORD>(bytes)) == ERROR_SUCCESS;
}

}  // namespace velloway::win32
