#include "platform/posix/font_faces.h"

#include <fontconfig/fontconfig.h>

#include <memory>
#include <string>

namespace velloway::posix {
namespace {

struct PatternDeleter {
  void operator()(FcPattern* pattern) const { FcPatternDestroy(pattern); }
};
using UniquePattern = std::unique_ptr<FcPattern, PatternDeleter>;

const FcChar8* Text(const char* text) {
  return reinterpret_cast<const FcChar8*>(text);
}

// Whether the configuration added `family` to the asked-for pattern as a metric-compatible alias:
// fontconfig's metric aliases ("same" binding) take the binding of the name they stand for, the
// first family, where other substitutes are weak.
bool MetricAlias(const FcPattern* substituted, const std::string& family) {
  FcValue value{};
  FcValueBinding asked = FcValueBindingWeak;
  if (FcPatternGetWithBinding(substituted, FC_FAMILY, 0, &value, &asked) != FcResultMatch) {
    return false;
  }
  FcValueBinding binding = FcValueBindingWeak;
  for (int i = 1;
       FcPatternGetWithBinding(substituted, FC_FAMILY, i, &value, &binding) == FcResultMatch; ++i) {
    if (value.type == FcTypeString && FcStrCmpIgnoreCase(value.u.s, Text(family.c_str())) == 0) {
      return binding == asked;
    }
  }
  return false;
}

// The faces of Japanese Windows, by their English and Japanese names, and the kind of face
// that stands in for each.
struct JapaneseFace {
  const char* Name;
  const char* Kind;
};
constexpr JapaneseFace kJapaneseFaces[] = {
    {"MS Gothic", "sans-serif"},
    {"MS PGothic", "sans-serif"},
    {"MS UI Gothic", "sans-serif"},
    {"MS Mincho", "serif"},
    {"MS PMincho", "serif"},
    {"Meiryo", "sans-serif"},
    {"Yu Gothic", "sans-serif"},
    // ＭＳ ゴシック, ＭＳ Ｐゴシック, ＭＳ 明朝, ＭＳ Ｐ明朝, メイリオ, 游ゴシック
    {"\xEF\xBC\xAD\xEF\xBC\xB3 \xE3\x82\xB4\xE3\x82\xB7\xE3\x83\x83\xE3\x82\xAF", "sans-serif"},
    {"\xEF\xBC\xAD\xEF\xBC\xB3 \xEF\xBC\xB0\xE3\x82\xB4\xE3\x82\xB7\xE3\x83\x83\xE3\x82\xAF",
     "sans-serif"},
    {"\xEF\xBC\xAD\xEF\xBC\xB3 \xE6\x98\x8E\xE6\x9C\x9D", "serif"},
    {"\xEF\xBC\xAD\xEF\xBC\xB3 \xEF\xBC\xB0\xE6\x98\x8E\xE6\x9C\x9D", "serif"},
    {"\xE3\x83\xA1\xE3\x82\xA4\xE3\x83\xAA\xE3\x82\xAA", "sans-serif"},
    {"\xE6\xB8\xB8\xE3\x82\xB4\xE3\x82\xB7\xE3\x83\x83\xE3\x82\xAF", "sans-serif"},
};

const JapaneseFace* FindJapaneseFace(const std::string& family) {
  for (const JapaneseFace& face : kJapaneseFaces) {
    if (FcStrCmpIgnoreCase(Text(face.Name), Text(family.c_str())) == 0) return &face;
  }
  return nullptr;
}

// Whether a matched face draws Japanese.
bool DrawsJapanese(const FcPattern* font) {
  FcLangSet* languages = nullptr;
  if (FcPatternGetLangSet(font, FC_LANG, 0, &languages) != FcResultMatch) return false;
  return FcLangSetHasLang(languages, Text("ja")) != FcLangDifferentLang;
}

// Whether Pango draws with a face: it shapes through HarfBuzz, which reads OpenType faces alone
// (TrueType or CFF outlines), never the bitmap or Type 1 faces fontconfig lists too.
bool PangoDrawsWith(const FcPattern* face) {
  FcChar8* format = nullptr;
  if (FcPatternGetString(face, FC_FONTFORMAT, 0, &format) != FcResultMatch) return false;
  return FcStrCmpIgnoreCase(format, Text("TrueType")) == 0 ||
         FcStrCmpIgnoreCase(format, Text("CFF")) == 0;
}

void AddCharacters(const FcCharSet* characters, CodePointSet& shown) {
  FcChar32 page[FC_CHARSET_MAP_SIZE];
  FcChar32 next = 0;
  for (FcChar32 first = FcCharSetFirstPage(characters, page, &next); first != FC_CHARSET_DONE;
       first = FcCharSetNextPage(characters, page, &next)) {
    for (FcChar32 word = 0; word < FC_CHARSET_MAP_SIZE; ++word) {
      shown.AddBits(first + word * 32, page[word]);
    }
  }
}

}  // namespace

FamilyRequest RequestFamily(std::string_view family) {
  FamilyRequest request{{std::string(family)}, false};
  const JapaneseFace* japanese = FindJapaneseFace(request.Families.front());
  if (japanese == nullptr) return request;
  request.Families.emplace_back(japanese->Kind);
  request.Japanese = true;
  return request;
}

FaceMatch MatchFace(std::string_view family) {
  FaceMatch match;
  const std::string name(family);
  const UniquePattern pattern(FcPatternCreate());
  if (!pattern || !FcInit()) return match;
  const FamilyRequest request = RequestFamily(name);
  for (const std::string& asked : request.Families) {
    FcPatternAddString(pattern.get(), FC_FAMILY, Text(asked.c_str()));
  }
  if (request.Japanese) FcPatternAddString(pattern.get(), FC_LANG, Text("ja"));
  FcConfigSubstitute(nullptr, pattern.get(), FcMatchPattern);
  FcDefaultSubstitute(pattern.get());
  FcResult result = FcResultNoMatch;
  const UniquePattern font(FcFontMatch(nullptr, pattern.get(), &result));
  if (!font) return match;
  FcChar8* found = nullptr;
  // A face may carry its family name in several languages: any of them is the family's.
  for (int i = 0; FcPatternGetString(font.get(), FC_FAMILY, i, &found) == FcResultMatch; ++i) {
    if (i == 0) match.ShownIn = reinterpret_cast<const char*>(found);
    if (FcStrCmpIgnoreCase(found, Text(name.c_str())) == 0) {
      match.Installed = true;
      match.ShownIn = name;
    }
  }
  if (match.Installed) return match;
  if (request.Japanese) {
    match.JapaneseStandIn = DrawsJapanese(font.get());
  } else {
    match.SameMetrics = MetricAlias(pattern.get(), match.ShownIn);
  }
  return match;
}

CodePointSet InstalledCharacters() {
  CodePointSet shown;
  if (!FcInit()) return shown;
  const FcFontSet* faces = FcConfigGetFonts(nullptr, FcSetSystem);
  for (int i = 0; faces != nullptr && i < faces->nfont; ++i) {
    FcCharSet* characters = nullptr;
    if (PangoDrawsWith(faces->fonts[i]) &&
        FcPatternGetCharSet(faces->fonts[i], FC_CHARSET, 0, &characters) == FcResultMatch) {
      AddCharacters(characters, shown);
    }
  }
  return shown;
}

}  // namespace velloway::posix
