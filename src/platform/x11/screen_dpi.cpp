#include "platform/x11/screen_dpi.h"

#include <charconv>
#include <cmath>

namespace velloway::x11 {
namespace {

constexpr int kDefaultDpi = 96;
// Outside these a reading is surely wrong (a bogus physical size, a typing error).
constexpr double kLowestDpi = 24;
constexpr double kHighestDpi = 960;

bool Plausible(double dpi) {
  return dpi >= kLowestDpi && dpi <= kHighestDpi;
}

std::string_view Trim(std::string_view text) {
  const auto blank = [](char c) { return c == ' ' || c == '\t' || c == '\r'; };
  while (!text.empty() && blank(text.front())) text.remove_prefix(1);
  while (!text.empty() && blank(text.back())) text.remove_suffix(1);
  return text;
}

// The value of "Xft.dpi" in resource lines ("Xft.dpi:\t120"); the last one counts, as in Xrm.
std::optional<double> XftDpi(std::string_view resources) {
  std::optional<double> found;
  while (!resources.empty()) {
    const std::size_t end = resources.find('\n');
    const std::string_view line = resources.substr(0, end);
    resources.remove_prefix(end == std::string_view::npos ? resources.size() : end + 1);
    const std::size_t colon = line.find(':');
    if (colon == std::string_view::npos || Trim(line.substr(0, colon)) != "Xft.dpi") continue;
    const std::string_view value = Trim(line.substr(colon + 1));
    double dpi = 0;
    const auto [end_, error] = std::from_chars(value.data(), value.data() + value.size(), dpi);
    if (error == std::errc() && end_ == value.data() + value.size()) found = dpi;
  }
  return found;
}

}  // namespace

int ScreenDpi(std::optional<std::string_view> resources, int pixels, int millimetres) {
  if (resources) {
    if (const std::optional<double> dpi = XftDpi(*resources); dpi && Plausible(*dpi)) {
      return static_cast<int>(std::lround(*dpi));
    }
  }
  if (pixels > 0 && millimetres > 0) {
    const double dpi = pixels * 25.4 / millimetres;
    if (Plausible(dpi)) return static_cast<int>(std::lround(dpi));
  }
  return kDefaultDpi;
}

}  // namespace velloway::x11
