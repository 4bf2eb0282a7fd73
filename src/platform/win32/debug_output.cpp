#include "platform/win32/debug_output.h"

#include <string>

#include "base/program_identity.h"
#include "platform/wide_text.h"

namespace velloway::win32 {

void ReportFailure(std::wstring_view what, DWORD error) {
  const std::wstring line = platform::Utf8ToWide(identity::kAppName) + L": " + std::wstring(what) +
                            L": error " + std::to_wstring(error) + L"\n";
  OutputDebugStringW(line.c_str());
}

}  // namespace velloway::win32
