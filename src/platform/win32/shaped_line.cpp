#include <windows.h>

#include "platform/win32/shaped_line.h"

#include <usp10.h>

#include <algorithm>
#include <vector>

#include "platform/win32/win32_handles.h"

namespace velloway::win32 {
namespace {

// Longer texts are laid out unshaped: no name is this long, and Uniscribe's cost grows faster
// than the text (a script's caption can hold 65,536 characters of alternating scripts).
constexpr std::size_t kMaxShapedLength = 4096;

// True when the first character with a strong direction reads right to left: the line's base
// direction, as the Unicode bidirectional algorithm takes a paragraph's.
bool StartsRightToLeft(std::wstring_view text) {
  std::vector<WORD> types(text.size());
  if (!GetStringTypeW(CT_CTYPE2, text.data(), static_cast<int>(text.size()), types.data())) {
    return false;
  }
  for (const WORD type : types) {
    if (type == C2_LEFTTORIGHT) return false;
    if (type == C2_RIGHTTOLEFT) return true;
  }
  return false;
}

// Shapes text on dc with fallback faces; null when Uniscribe refuses it. A glyph buffer of
// 1.5 glyphs a character (plus 16) is what Uniscribe advises; scripts whose clusters expand
// further get a second try with twice that.
SCRIPT_STRING_ANALYSIS Analyse(HDC dc, std::wstring_view text) {
  SCRIPT_STATE state{};
  state.uBidiLevel = StartsRightToLeft(text) ? 1 : 0;
  const int length = static_cast<int>(text.size());
  for (const int glyphsPerTwoCharacters : {3, 6}) {
    SCRIPT_STRING_ANALYSIS analysis = nullptr;
    const HRESULT result =
        ScriptStringAnalyse(dc, text.data(), length, length * glyphsPerTwoCharacters / 2 + 16, -1,
                            SSA_GLYPHS | SSA_FALLBACK | SSA_LINK, 0, nullptr, &state, nullptr,
                            nullptr, nullptr, &analysis);
    if (SUCCEEDED(result)) return analysis;
    if (result != E_OUTOFMEMORY) break;
  }
  return nullptr;
}

// How far a face reaches above and below the baseline, in pixels.
struct Extent {
  int Ascent = 0;
  int Descent = 0;
};

// The extent of the font selected into dc; zero when its metrics cannot be read.
Extent FontExtent(HDC dc) {
  TEXTMETRICW metrics{};
  if (!GetTextMetricsW(dc, &metrics)) return {};
  return {static_cast<int>(metrics.tmAscent), static_cast<int>(metrics.tmDescent)};
}

// True when the font selected into dc has a glyph for every character of text: Uniscribe then
// falls back to no other face.
bool FontHasEveryGlyph(HDC dc, std::wstring_view text) {
  std::vector<WORD> glyphs(text.size());
  if (GetGlyphIndicesW(dc, text.data(), static_cast<int>(text.size()), glyphs.data(),
                       GGI_MARK_NONEXISTING_GLYPHS) == GDI_ERROR) {
    return false;
  }
  return std::find(glyphs.begin(), glyphs.end(), WORD{0xFFFF}) == glyphs.end();
}

// Keeps the font of each font a metafile makes.
int CALLBACK KeepFontMade(HDC, HANDLETABLE*, const ENHMETARECORD* record, int, LPARAM fonts) {
  if (record->iType == EMR_EXTCREATEFONTINDIRECTW) {
    const auto* made = reinterpret_cast<const EMREXTCREATEFONTINDIRECTW*>(record);
    reinterpret_cast<std::vector<LOGFONTW>*>(fonts)->push_back(made->elfw.elfLogFont);
  }
  return 1;
}

// The fonts Uniscribe draws text in on dc: the text drawn once into a metafile, which records
// every font selected to draw it, the faces Uniscribe falls back to among them. Uniscribe names
// its fallback faces nowhere else.
std::vector<LOGFONTW> FontsDrawnIn(HDC dc, std::wstring_view text) {
  std::vector<LOGFONTW> fonts;
  UniqueMetafileDc recorder(CreateEnhMetaFileW(dc, nullptr, nullptr, nullptr));
  if (!recorder) return fonts;
  // The recorder is gone before the font can go: no selection to undo.
  SelectObject(recorder.get(), GetCurrentObject(dc, OBJ_FONT));
  {
    const UniqueStringAnalysis analysis(Analyse(recorder.get(), text));
    if (!analysis) return fonts;
    ScriptStringOut(analysis.get(), 0, 0, 0, nullptr, 0, 0, FALSE);
  }
  const UniqueEnhMetaFile recording(CloseEnhMetaFile(recorder.release()));
  if (recording) EnumEnhMetaFile(nullptr, recording.get(), KeepFontMade, &fonts, nullptr);
  return fonts;
}

// The extent of the faces Uniscribe draws text in on dc: the highest ascent and the lowest
// descent, so that letters of a taller fallback face are not cut off.
Extent DrawnExtent(HDC dc, std::wstring_view text) {
  Extent extent = FontExtent(dc);
  if (FontHasEveryGlyph(dc, text)) return extent;
  for (const LOGFONTW& font : FontsDrawnIn(dc, text)) {
    const UniqueFont face(CreateFontIndirectW(&font));
    if (!face) continue;
    const SelectGuard selected(dc, face.get());
    const Extent faceExtent = FontExtent(dc);
    extent.Ascent = std::max(extent.Ascent, faceExtent.Ascent);
    extent.Descent = std::max(extent.Descent, faceExtent.Descent);
  }
  return extent;
}

}  // namespace

ShapedLine::ShapedLine(HDC dc, std::wstring_view text) : dc_(dc), text_(text) {
  const Extent font = FontExtent(dc);
  ascent_ = font.Ascent;
  descent_ = font.Descent;
  if (text.empty()) return;
  if (text.size() <= kMaxShapedLength) analysis_.reset(Analyse(dc, text));
  if (analysis_) {
    const SIZE* size = ScriptString_pSize(analysis_.get());
    if (size != nullptr) {
      width_ = static_cast<int>(size->cx);
      const Extent drawn = DrawnExtent(dc, text);
      ascent_ = drawn.Ascent;
      descent_ = drawn.Descent;
      return;
    }
    analysis_.reset();
  }
  SIZE size{};
  if (GetTextExtentPoint32W(dc, text.data(), static_cast<int>(text.size()), &size)) {
    width_ = static_cast<int>(size.cx);
  }
}

void ShapedLine::Draw(int x, int y, int visibleWidth) const {
  if (text_.empty()) return;
  if (analysis_) {
    ScriptStringOut(analysis_.get(), x, y, 0, nullptr, 0, 0, FALSE);
    return;
  }
  DrawUnshaped(x, y, visibleWidth);
}

void ShapedLine::DrawUnshaped(int x, int y, int visibleWidth) const {
  // Each character's right edge from the line's left: drawing only the visible characters keeps
  // a line far wider than the screen as cheap as the screen's width.
  const int length = static_cast<int>(text_.size());
  std::vector<int> ends(text_.size());
  SIZE size{};
  if (!GetTextExtentExPointW(dc_, text_.data(), length, 0, nullptr, ends.data(), &size)) return;
  int first = 0;
  while (first < length && x + ends[static_cast<std::size_t>(first)] <= 0) ++first;
  int last = first;
  const auto start = [&](int i) { return i == 0 ? 0 : ends[static_cast<std::size_t>(i - 1)]; };
  while (last < length && x + start(last) < visibleWidth) ++last;
  if (last == first) return;
  // The order measured is the order drawn: no reordering the measure did not do.
  ExtTextOutW(dc_, x + start(first), y, ETO_IGNORELANGUAGE, nullptr, text_.data() + first,
              static_cast<UINT>(last - first), nullptr);
}

}  // namespace velloway::win32
