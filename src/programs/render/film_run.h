#pragma once
// The film made in two runs of the same stage on the same virtual clock: a first that paints
// nothing and finds the film's length, its music cues and colours; a second that paints every
// frame and encodes it with its sound.
#include <cstdint>
#include <string>
#include <vector>

#include "base/color.h"
#include "platform/codepage.h"
#include "programs/render/film_music.h"
#include "programs/render/render_options.h"
#include "roll/film_stage.h"
#include "script/script_types.h"

namespace velloway::render {

// The script, and where its music names are looked up.
struct FilmScript {
  LoadedScript Script;
  std::string Folder;
  unsigned CodePage = platform::kDefaultCodePage;
};

// What the first run found.
struct FilmPlan {
  std::int64_t Pace = kScriptPace;  // the script's, or fitted to --fit
  std::int64_t Frames = 0;
  std::vector<MusicCue> Cues;
  bool WithSound = false;             // a sound track: music is cued, and the format carries sound
  std::vector<std::string> Problems;  // music that cannot be played, one line each
  Color Background = 0;
  std::vector<Color> Inks;  // the lines' colours, as they come
  std::string Fitted;       // what --fit made of a pass, in words; empty without it
};

// Thrown when an end signal (Ctrl-C) stops the film.
struct Interrupted {};

// Plays the film without painting, fitted to --fit first. Throws FilmError for a roll that does
// not move, lasts longer than a film may, or cannot be fitted, and Interrupted on an end signal.
FilmPlan PlanFilm(const RenderOptions& options, const FilmScript& script);

// Makes the film at url as planned; `written` counts the frames encoded so far, for what must be
// removed if it throws (FilmError, Interrupted). A progress bar follows it on a terminal.
void MakeFilm(const RenderOptions& options, const FilmScript& script, const FilmPlan& plan,
              const std::string& url, std::int64_t& written);

}  // namespace velloway::render
