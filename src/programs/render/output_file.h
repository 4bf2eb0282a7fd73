#pragma once
// Where the film goes. A film file is written under a hidden name beside it and takes its name
// only when complete, so that a failed or stopped run leaves nothing behind and an existing file
// is replaced (with --force) only by a complete one. A numbered sequence is written in place and
// its pictures removed again if the run does not complete.
#include <cstdint>
#include <string>

#include "programs/render/render_options.h"

namespace velloway::render {

class OutputFile {
 public:
  // Throws FilmError when the film cannot go there: its folder is missing or is no folder, the
  // name is a folder, or a film is there already and force is not given.
  OutputFile(std::string path, FilmFormat format, bool force);
  OutputFile(const OutputFile&) = delete;
  OutputFile& operator=(const OutputFile&) = delete;

  // What the film is written to: the hidden file, or the sequence's pattern.
  const std::string& WritingTo() const { return writingTo_; }
  // The film is complete: it takes its name. Throws FilmError when it cannot.
  void Complete();
  // Removes what was written, unless complete: the hidden file, or the first `frames` pictures.
  void Discard(std::int64_t frames);

 private:
  std::string PictureName(std::int64_t number) const;

  std::string path_;
  bool sequence_;
  std::string writingTo_;
  bool complete_ = false;
};

}  // namespace velloway::render
