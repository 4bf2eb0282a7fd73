#include <windows.h>

#include <algorithm>
#include <array>

#include "base/utf8.h"
#include "platform/codepage.h"

namespace velloway::platform {
namespace {

// The text is converted in pieces of about this size, so that no wide copy of all of it is made.
constexpr std::size_t kPieceBytes = 64 * 1024;

// Cuts a text in a code page into pieces that each hold whole characters.
class PieceCutter {
 public:
  explicit PieceCutter(unsigned codePage) : utf8_(codePage == CP_UTF8) {
    CPINFO info{};
    if (GetCPInfo(codePage, &info) == 0) return;
    maxCharSize_ = info.MaxCharSize;
    for (std::size_t i = 0; i + 1 < MAX_LEADBYTES && info.LeadByte[i] != 0; i += 2) {
      for (unsigned b = info.LeadByte[i]; b <= info.LeadByte[i + 1]; ++b) leadByte_[b] = true;
    }
  }

  // The end of the piece that starts at `start`.
  std::size_t End(std::string_view bytes, std::size_t start) const {
    const std::size_t target = std::min(bytes.size(), start + kPieceBytes);
    if (target == bytes.size() || maxCharSize_ == 1) return target;
    if (utf8_) {
      const std::size_t end = utf8::CharStart(bytes, target);
      return end > start ? end : target;  // stray continuation bytes read alike either way
    }
    if (maxCharSize_ == 2) {
      // A lead byte and the byte after it are one character.
      std::size_t end = start;
      while (end < target) end += leadByte_[static_cast<unsigned char>(bytes[end])] ? 2 : 1;
      return std::min(end, bytes.size());
    }
    return bytes.size();  // no system code page: in one piece
  }

 private:
  bool utf8_;
  unsigned maxCharSize_ = 0;
  std::array<bool, 256> leadByte_{};
};

// Converts all of bytes piece by piece, calling put(wide piece) for each; false when the code
// page cannot convert them.
template <typename Put>
bool ForEachWidePiece(std::string_view bytes, unsigned codePage, Put put) {
  const PieceCutter cutter(codePage);
  std::wstring wide;
  for (std::size_t start = 0; start < bytes.size();) {
    const std::size_t end = cutter.End(bytes, start);
    const char* piece = bytes.data() + start;
    const int length = static_cast<int>(end - start);
    const int wideLength = MultiByteToWideChar(codePage, 0, piece, length, nullptr, 0);
    if (wideLength <= 0) return false;
    wide.resize(static_cast<std::size_t>(wideLength));
    MultiByteToWideChar(codePage, 0, piece, length, wide.data(), wideLength);
    put(wide);
    start = end;
  }
  return true;
}

int Utf8Length(const std::wstring& wide, char* out, int room) {
  return WideCharToMultiByte(CP_UTF8, 0, wide.data(), static_cast<int>(wide.size()), out, room,
                             nullptr, nullptr);
}

}  // namespace

unsigned SystemCodePage() {
  return GetACP();
}

std::string LegacyToUtf8(std::string_view bytes, unsigned codePage) {
  // Counted first, then written into a string of that size: the text may grow three-fold, and
  // must not take twice that while it grows.
  std::size_t size = 0;
  const auto count = [&size](const std::wstring& wide) {
    size += static_cast<std::size_t>(Utf8Length(wide, nullptr, 0));
  };
  if (!ForEachWidePiece(bytes, codePage, count)) return {};
  std::string out(size, '\0');
  std::size_t written = 0;
  ForEachWidePiece(bytes, codePage, [&](const std::wstring& wide) {
    written += static_cast<std::size_t>(
        Utf8Length(wide, out.data() + written, static_cast<int>(size - written)));
  });
  return out;
}

}  // namespace velloway::platform
