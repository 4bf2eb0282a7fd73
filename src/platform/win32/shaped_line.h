#pragma once
// A line of text as Uniscribe lays it out: shaped, each run in the reading order of its script
// and in a face that has its glyphs. Measuring and drawing go through the same layout, so a
// line's width is the width of what is drawn.
#include <windows.h>

#include <usp10.h>

#include <memory>
#include <string_view>

namespace velloway::win32 {

class ShapedLine {
 public:
  // Lays out text in the font selected into dc, the DC the line is drawn into; text must outlive
  // the line. A text Uniscribe refuses (or too long to shape) is laid out by plain GDI calls.
  ShapedLine(HDC dc, std::wstring_view text);
  int Width() const { return width_; }
  // Draws the line with its left edge at x and at y as the DC's text alignment takes it, in
  // the DC's text colour and background mode; only the part between 0 and visibleWidth in the DC
  // needs to show.
  void Draw(int x, int y, int visibleWidth) const;

 private:
  struct AnalysisFree {
    void operator()(SCRIPT_STRING_ANALYSIS analysis) const { ScriptStringFree(&analysis); }
  };
  using UniqueAnalysis = std::unique_ptr<void, AnalysisFree>;

  HDC dc_;
  std::wstring_view text_;
  UniqueAnalysis analysis_;  // null: the text is drawn unshaped
  int width_ = 0;

  // Draws the characters of the unshaped text that reach into the visible part, left to right
  // as they are measured.
  void DrawUnshaped(int x, int y, int visibleWidth) const;
};

}  // namespace velloway::win32
