#include <errno.h>
#include <iconv.h>

#include <memory>
#include <string>

#include "platform/codepage.h"
#include "platform/utf8.h"

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

}  // namespace

unsigned SystemCodePage() {
  return 1252;
}

std::string LegacyToUtf8(std::string_view bytes, unsigned codePage) {
  const std::string name = "CP" + std::to_string(codePage);
  const UniqueIconv cd(iconv_open("UTF-8", name.c_str()));
  if (cd.get() == reinterpret_cast<iconv_t>(-1)) return Latin1ToUtf8(bytes);

  std::string out;
  std::string in(bytes);
  char* inPtr = in.data();
  std::size_t inLeft = in.size();
  char buffer[4096];
  while (inLeft > 0) {
    char* outPtr = buffer;
    std::size_t outLeft = sizeof buffer;
    const std::size_t result = iconv(cd.get(), &inPtr, &inLeft, &outPtr, &outLeft);
    out.append(buffer, static_cast<std::size_t>(outPtr - buffer));
    if (result == static_cast<std::size_t>(-1) && errno != E2BIG) {
      // An unmappable or cut-short sequence: replace one byte and go on.
      utf8::Append(out, utf8::kReplacement);
      ++inPtr;
      --inLeft;
    }
  }
  return out;
}

}  // namespace velloway::platform
