#include "platform/x11/xft_text.h"

#include <fontconfig/fontconfig.h>

#include <algorithm>
#include <cmath>
#include <functional>
#include <string>

#include "base/utf8.h"
#include "platform/posix/font_faces.h"

namespace velloway::x11 {
namespace {

// Enough for every font a roll uses; clearing now and then bounds what a strange script makes.
constexpr std::size_t kMaxCachedFonts = 256;

// One run of characters drawn in one face.
struct Run {
  XftFont* Font;
  std::u32string_view Text;
};

std::u32string Decode(std::string_view text) {
  std::u32string out;
  out.reserve(text.size());
  for (std::size_t pos = 0; pos < text.size();) out.push_back(utf8::Decode(text, pos));
  return out;
}

const FcChar32* Chars(std::u32string_view text) {
  static_assert(sizeof(FcChar32) == sizeof(char32_t));
  return reinterpret_cast<const FcChar32*>(text.data());
}

// One character's glyph: how far it moves the pen, and the columns its ink covers, counted from
// its origin.
struct GlyphExtent {
  int Advance;
  int InkLeft;
  int InkRight;
};

GlyphExtent Extent(Display* display, XftFont* font, char32_t c) {
  XGlyphInfo info{};
  XftTextExtents32(display, font, Chars(std::u32string_view(&c, 1)), 1, &info);
  return {info.xOff, -info.x, info.width - info.x};
}

// Summed a glyph at a time: Xft's extents of a whole run are 16-bit, and a line may be wider.
int Advance(Display* display, XftFont* font, std::u32string_view text) {
  int advance = 0;
  for (const char32_t c : text) advance += Extent(display, font, c).Advance;
  return advance;
}

}  // namespace

// The face a FontSpec asks for and, opened when a character first needs them, the faces
// fontconfig ranks after it.
class XftFonts::FaceSet {
 public:
  FaceSet(Display* display, int screen, const forms::FontSpec& font, int dpiY)
      : display_(display), pattern_(MakePattern(display, screen, font, dpiY)) {
    if (pattern_ == nullptr) return;
    FcResult result = FcResultNoMatch;
    FcPattern* match = FcFontMatch(nullptr, pattern_, &result);
    if (match != nullptr) primary_ = XftFontOpenPattern(display_, match);  // takes the match
    if (primary_ == nullptr) {
      if (match != nullptr) FcPatternDestroy(match);
      primary_ = XftFontOpenName(display_, screen, "sans");
    }
  }
  ~FaceSet() {
    for (XftFont* font : fallbacks_) {
      if (font != nullptr) XftFontClose(display_, font);
    }
    if (primary_ != nullptr) XftFontClose(display_, primary_);
    if (sorted_ != nullptr) FcFontSetDestroy(sorted_);
    if (pattern_ != nullptr) FcPatternDestroy(pattern_);
  }
  FaceSet(const FaceSet&) = delete;
  FaceSet& operator=(const FaceSet&) = delete;

  XftFont* Primary() const { return primary_; }

  // Calls each(run) for the runs of text that one face draws, in order.
  template <typename Each>
  void ForEachRun(std::u32string_view text, Each each) {
    std::size_t start = 0;
    XftFont* current = nullptr;
    for (std::size_t i = 0; i < text.size(); ++i) {
      XftFont* font = FaceFor(text[i]);
      if (font != current && i > start) {
        each(Run{current, text.substr(start, i - start)});
        start = i;
      }
      current = font;
    }
    if (start < text.size()) each(Run{current, text.substr(start)});
  }

 private:
  static FcPattern* MakePattern(Display* display, int screen, const forms::FontSpec& font,
                                int dpiY) {
    FcPattern* pattern = FcPatternCreate();
    if (pattern == nullptr) return nullptr;
    posix::AddFamily(pattern, font.Name);
    // As Windows sizes a font by its character height: the em in pixels.
    FcPatternAddDouble(pattern, FC_PIXEL_SIZE,
                       std::round(static_cast<double>(font.Size) * dpiY / 72.0));
    FcPatternAddInteger(pattern, FC_WEIGHT, font.Bold ? FC_WEIGHT_BOLD : FC_WEIGHT_REGULAR);
    FcPatternAddInteger(pattern, FC_SLANT, font.Italic ? FC_SLANT_ITALIC : FC_SLANT_ROMAN);
    if (font.Language == forms::FontLanguage::Japanese) {
      FcPatternAddString(pattern, FC_LANG, reinterpret_cast<const FcChar8*>("ja"));
    }
    FcPatternAddBool(pattern, FC_ANTIALIAS, FcTrue);
    FcConfigSubstitute(nullptr, pattern, FcMatchPattern);
    XftDefaultSubstitute(display, screen, pattern);
    return pattern;
  }

  XftFont* FaceFor(char32_t c) {
    if (primary_ == nullptr || XftCharExists(display_, primary_, c)) return primary_;
    const auto known = fallbackFor_.find(c);
    if (known != fallbackFor_.end()) return known->second;
    XftFont* font = FindFallback(c);
    fallbackFor_.emplace(c, font);
    return font;
  }

  // The first face fontconfig ranks after the primary one that has the character; the primary
  // face (which draws its missing-glyph box) when none has.
  XftFont* FindFallback(char32_t c) {
    if (sorted_ == nullptr) {
      FcResult result = FcResultNoMatch;
      sorted_ = FcFontSort(nullptr, pattern_, FcTrue, nullptr, &result);
      if (sorted_ == nullptr) return primary_;
      fallbacks_.assign(static_cast<std::size_t>(sorted_->nfont), nullptr);
    }
    for (int i = 0; i < sorted_->nfont; ++i) {
      FcCharSet* charset = nullptr;
      if (FcPatternGetCharSet(sorted_->fonts[i], FC_CHARSET, 0, &charset) != FcResultMatch ||
          !FcCharSetHasChar(charset, c)) {
        continue;
      }
      XftFont*& font = fallbacks_[static_cast<std::size_t>(i)];
      if (font == nullptr) {
        FcPattern* prepared = FcFontRenderPrepare(nullptr, pattern_, sorted_->fonts[i]);
        if (prepared != nullptr) font = XftFontOpenPattern(display_, prepared);
        if (font == nullptr && prepared != nullptr) FcPatternDestroy(prepared);
      }
      if (font != nullptr) return font;
    }
    return primary_;
  }

  Display* display_;
  FcPattern* pattern_;
  XftFont* primary_ = nullptr;
  FcFontSet* sorted_ = nullptr;
  std::vector<XftFont*> fallbacks_;  // by rank in sorted_, opened when first needed
  std::unordered_map<char32_t, XftFont*> fallbackFor_;
};

XftFonts::XftFonts(Display* display, int screen, int dpiY)
    : display_(display), screen_(screen), dpiY_(dpiY) {}

XftFonts::~XftFonts() = default;

XftFonts::FaceSet& XftFonts::Get(const forms::FontSpec& font) {
  auto found = faces_.find(font);
  if (found == faces_.end()) {
    if (faces_.size() >= kMaxCachedFonts) faces_.clear();
    found = faces_.emplace(font, std::make_unique<FaceSet>(display_, screen_, font, dpiY_)).first;
  }
  return *found->second;
}

// The line's box: as high as the tallest face it uses reaches above and below the baseline, so
// that a glyph drawn in another face never reaches outside it (and is repainted with it).
XftFonts::LineBox XftFonts::Box(FaceSet& faces, std::u32string_view text) {
  XftFont* primary = faces.Primary();
  LineBox box{0, primary->ascent, primary->descent};
  faces.ForEachRun(text, [&](const Run& run) {
    box.Width += Advance(display_, run.Font, run.Text);
    box.Ascent = std::max(box.Ascent, run.Font->ascent);
    box.Descent = std::max(box.Descent, run.Font->descent);
  });
  return box;
}

forms::TextExtent XftFonts::Measure(const forms::FontSpec& font, std::string_view text) {
  FaceSet& faces = Get(font);
  if (faces.Primary() == nullptr) return {};
  const LineBox box = Box(faces, Decode(text));
  return {box.Width, box.Ascent + box.Descent};
}

void XftFonts::Draw(XftDraw* draw, const XftColor& color, const forms::FontSpec& font,
                    std::string_view text, forms::TextImageSpan span, int x, int y) {
  FaceSet& faces = Get(font);
  if (faces.Primary() == nullptr || text.empty() || span.Width <= 0) return;
  const std::u32string chars = Decode(text);
  const int baseline = y + Box(faces, chars).Ascent;
  const int spanEnd = span.Skip + span.Width;
  int pen = 0;  // the line's column where the next character's origin stands
  faces.ForEachRun(chars, [&](const Run& run) {
    // Of each run, the characters from the first to the last whose ink reaches into the span,
    // placed from the span's left: the server draws no glyph outside it, and every position
    // it is sent stays within the 16 bits of X11 coordinates however wide the line.
    std::size_t first = run.Text.size();
    std::size_t last = 0;
    int firstPen = 0;
    for (std::size_t i = 0; i < run.Text.size(); ++i) {
      const GlyphExtent glyph = Extent(display_, run.Font, run.Text[i]);
      if (pen + glyph.InkLeft < spanEnd && pen + glyph.InkRight > span.Skip) {
        if (first == run.Text.size()) {
          first = i;
          firstPen = pen;
        }
        last = i;
      }
      pen += glyph.Advance;
    }
    if (first == run.Text.size()) return;
    XftDrawString32(draw, &color, run.Font, x + firstPen - span.Skip, baseline,
                    Chars(run.Text.substr(first)), static_cast<int>(last - first + 1));
  });
}

}  // namespace velloway::x11
