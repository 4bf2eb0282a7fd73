#include "platform/win32/font_coverage.h"

#include <windows.h>

#include <cstddef>
#include <cstdint>
#include <set>
#include <string>
#include <vector>

#include "platform/win32/win32_handles.h"

namespace velloway::win32 {
namespace {

// Every installed family once (they are listed once for each character set they have), without
// the vertical forms ("@MS Gothic"), which show what their family shows.
std::set<std::wstring> InstalledFamilies(HDC dc) {
  LOGFONTW every{};
  every.lfCharSet = DEFAULT_CHARSET;
  std::set<std::wstring> families;
  EnumFontFamiliesExW(
      dc, &every,
      [](const LOGFONTW* font, const TEXTMETRICW*, DWORD, LPARAM data) -> int {
        if (font->lfFaceName[0] != L'@') {
          reinterpret_cast<std::set<std::wstring>*>(data)->emplace(font->lfFaceName);
        }
        return 1;
      },
      reinterpret_cast<LPARAM>(&families), 0);
  return families;
}

// The characters of the Basic Multilingual Plane the font selected into dc has, as GDI tells
// them (its ranges hold 16-bit characters alone).
void AddBasicPlane(HDC dc, CodePointSet& shown) {
  const DWORD size = GetFontUnicodeRanges(dc, nullptr);
  if (size < sizeof(GLYPHSET)) return;
  std::vector<DWORD> buffer((size + sizeof(DWORD) - 1) / sizeof(DWORD));
  auto* glyphs = reinterpret_cast<GLYPHSET*>(buffer.data());
  if (GetFontUnicodeRanges(dc, glyphs) == 0) return;
  const std::size_t room = (size - offsetof(GLYPHSET, ranges)) / sizeof(WCRANGE);
  const WCRANGE* ranges = glyphs->ranges;
  for (std::size_t i = 0; i < glyphs->cRanges && i < room; ++i) {
    if (ranges[i].cGlyphs > 0) {
      shown.Add(ranges[i].wcLow, char32_t{ranges[i].wcLow} + ranges[i].cGlyphs - 1);
    }
  }
}

// A table of the font selected into dc, whole; empty when it has none.
std::vector<unsigned char> FontTable(HDC dc, DWORD tag) {
  const DWORD size = GetFontData(dc, tag, 0, nullptr, 0);
  if (size == GDI_ERROR || size == 0) return {};
  std::vector<unsigned char> table(size);
  if (GetFontData(dc, tag, 0, table.data(), size) != size) return {};
  return table;
}

// A font table's big-endian numbers, 0 past its end.
class TableReader {
 public:
  explicit TableReader(const std::vector<unsigned char>& table) : table_(table) {}
  std::uint32_t Read(std::size_t offset, std::size_t bytes) const {
    if (offset > table_.size() || bytes > table_.size() - offset) return 0;
    std::uint32_t value = 0;
    for (std::size_t i = 0; i < bytes; ++i) value = (value << 8) | table_[offset + i];
    return value;
  }
  std::size_t Size() const { return table_.size(); }

 private:
  const std::vector<unsigned char>& table_;
};

// The characters beyond the Basic Multilingual Plane the font selected into dc maps, read from
// its character map's 32-bit subtables (format 12), which GDI's ranges cannot tell.
void AddSupplementaryPlanes(HDC dc, CodePointSet& shown) {
  constexpr DWORD kCmap = 'c' | ('m' << 8) | ('a' << 16) | ('p' << 24);  // as GDI takes tags
  const std::vector<unsigned char> table = FontTable(dc, kCmap);
  const TableReader cmap(table);
  const std::uint32_t subtables = cmap.Read(2, 2);
  for (std::uint32_t i = 0; i < subtables; ++i) {
    const std::size_t record = 4 + std::size_t{i} * 8;
    const std::uint32_t platform = cmap.Read(record, 2);
    const std::uint32_t encoding = cmap.Read(record + 2, 2);
    // Unicode's own platform, or Windows' full repertoire.
    if (platform != 0 && !(platform == 3 && encoding == 10)) continue;
    const std::size_t start = cmap.Read(record + 4, 4);
    if (cmap.Read(start, 2) != 12) continue;
    const std::size_t groups = cmap.Read(start + 12, 4);
    // Past the table's end a count reads 0: one that is not lies within it. A subtable whose
    // groups do not all lie within it is left out.
    if (groups == 0 || groups > (cmap.Size() - start - 16) / 12) continue;
    for (std::size_t group = start + 16; group < start + 16 + groups * 12; group += 12) {
      const std::uint32_t first = cmap.Read(group, 4);
      const std::uint32_t last = cmap.Read(group + 4, 4);
      if (last > 0xFFFF) shown.Add(first, last);
    }
  }
}

}  // namespace

CodePointSet InstalledCharacters() {
  CodePointSet shown;
  const UniqueDc dc(CreateCompatibleDC(nullptr));
  if (!dc) return shown;
  for (const std::wstring& family : InstalledFamilies(dc.get())) {
    LOGFONTW asked{};
    asked.lfCharSet = DEFAULT_CHARSET;
    family.copy(asked.lfFaceName, LF_FACESIZE - 1);
    const UniqueFont font(CreateFontIndirectW(&asked));
    if (!font) continue;
    const SelectGuard selected(dc.get(), font.get());
    AddBasicPlane(dc.get(), shown);
    AddSupplementaryPlanes(dc.get(), shown);
  }
  return shown;
}

}  // namespace velloway::win32
