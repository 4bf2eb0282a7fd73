#pragma once
// A line of text as Uniscribe lays it out: shaped, each run in the reading order of its script
// and in a face that has its glyphs. Measuring and drawing go through the same layout, so a
// line's width is the width of what is drawn, and its height that of the faces it is drawn in.
#include <windows.h>

#include <usp10.h>

#include <memory>
#include <string_view>

namespace velloway::win32 {

struct StringAnalysisFree {
  void operator()(SCRIPT_STRING_ANALYSIS analysis) const { ScriptStringFree(&analysis); }
};
// A string analysed by Uniscribe (ScriptStringAnalyse).
using UniqueStringAnalysis = std::unique_ptr<void, StringAnalysisFree>;

class ShapedLine {
 public:
  // Lays out text in the font selected into dc, the DC the line is drawn into; text must outlive
  // the line. A text Uniscribe refuses (or too long to shape) is laid out by plain GDI calls.
  ShapedLine(HDC dc, std::wstring_view text);
  int Width() const { return width_; }
  // From the highest ascent to the lowest descent of the faces the line is drawn in: the DC's
  // font, and the faces Uniscribe falls back to for letters it lacks. A line without fallback
  // is the font's height.
  int Height() const { return ascent_ + descent_; }
  // The baseline's distance from the top of that height.
  int Ascent() const { return ascent_; }
  // Draws the line with its left edge at x and at y as the DC's text alignment takes it, in
  // the DC's text colour and background mode; only the part between 0 and visibleWidth in the DC
  // needs to show.
  void Draw(int x, int y, int visibleWidth) const;

 private:
  HDC dc_;
  std::wstring_view text_;
  UniqueStringAnalysis analysis_;  // null: the text is drawn unshaped
  int width_ = 0;
  int ascent_ = 0;
  int descent_ = 0;

  // Draws the characters of the unshaped text that reach into the visible part, left to right
  // as they are measured.
  void DrawUnshaped(int x, int y, int visibleWidth) const;
};

}  // namespace velloway::win32
