#include <errno.h>
#include <iconv.h>

#include <cstdlib>
#include <memory>
#include <string>

#include "base/utf8.h"
#include "platform/codepage.h"

namespace velloway::platform {
namespace {

struct IconvCloser {
  void operator()(iconv_t cd) const { iconv_close(cd); }
};
using UniqueIconv = std::unique_ptr<std::remove_pointer_t<iconv_t>, IconvCloser>;

std::string Latin1ToUtf8(std::string_view bytes) {
  std::string out;
  for (const char c : bytes) utf8::Append(out, static_cast<unsigned char>(c));
  return out;
}

// Converts all of bytes, calling put(piece) for each piece of UTF-8 made.
template <typename Put>
void Convert(iconv_t cd, std::string_view bytes, Put put) {
  constexpr std::string_view kReplacement = "\xEF\xBF\xBD";
  iconv(cd, nullptr, nullptr, nullptr, nullptr);  // the initial state
  char* inPtr = const_cast<char*>(bytes.data());  // iconv does not write its input
  std::size_t inLeft = bytes.size();
  char buffer[4096];
  while (inLeft > 0) {
    char* outPtr = buffer;
    std::size_t outLeft = sizeof buffer;
    const std::size_t result = iconv(cd, &inPtr, &inLeft, &outPtr, &outLeft);
    put(std::string_view(buffer, static_cast<std::size_t>(outPtr - buffer)));
    if (result == static_cast<std::size_t>(-1) && errno != E2BIG) {
      // An unmappable or cut-short sequence: replace one byte and go on.
      put(kReplacement);
      ++inPtr;
      --inLeft;
    }
  }
}

}  // namespace

unsigned CodePageForLocale(std::string_view locale) {
  const bool japanese = locale.starts_with("ja") && (locale.size() == 2 || locale[2] == '_' ||
                                                     locale[2] == '.' || locale[2] == '@');
  return japanese ? 932 : kDefaultCodePage;
}

unsigned SystemCodePage() {
  // The order in which setlocale() reads them for the character type.
  for (const char* name : {"LC_ALL", "LC_CTYPE", "LANG"}) {
    const char* value = std::getenv(name);
    if (value != nullptr && *value != '\0') return CodePageForLocale(value);
  }
  return kDefaultCodePage;
}

std::string LegacyToUtf8(std::string_view bytes, unsigned codePage) {
  const std::string name = "CP" + std::to_string(codePage);
  const UniqueIconv cd(iconv_open("UTF-8", name.c_str()));
  if (cd.get() == reinterpret_cast<iconv_t>(-1)) return Latin1ToUtf8(bytes);

  // Counted first, then written into a string of that size: the text may grow three-fold, and
  // must not take twice that while it grows.
  std::size_t size = 0;
  Convert(cd.get(), bytes, [&size](std::string_view piece) { size += piece.size(); });
  std::string out;
  out.reserve(size);
  Convert(cd.get(), bytes, [&out](std::string_view piece) { out.append(piece); });
  return out;
}

}  // namespace velloway::platform
