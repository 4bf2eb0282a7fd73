#include "programs/render/output_file.h"

#include <unistd.h>

#include <array>
#include <filesystem>
#include <system_error>

#include "base/utf8_path.h"
#include "programs/render/film_error.h"

extern "C" {
#include <libavformat/avformat.h>
}

namespace velloway::render {
namespace {

// The first picture of a sequence is numbered 1, as FFmpeg numbers them.
constexpr std::int64_t kFirstPicture = 1;

}  // namespace

OutputFile::OutputFile(std::string path, FilmFormat format, bool force)
    : path_(std::move(path)), sequence_(format == FilmFormat::PngSequence) {
  const std::filesystem::path target = utf8::ToPath(path_);
  std::filesystem::path folder = target.parent_path();
  if (folder.empty()) folder = ".";
  std::error_code error;
  if (!std::filesystem::is_directory(folder, error)) {
    throw FilmError(utf8::FromPath(folder) + ": no such folder");
  }
  if (access(folder.c_str(), W_OK) != 0)
    throw FilmError(utf8::FromPath(folder) + ": cannot write here");
  const std::filesystem::path first = sequence_ ? utf8::ToPath(PictureName(kFirstPicture)) : target;
  if (std::filesystem::is_directory(first, error)) throw FilmError(path_ + ": is a folder");
  if (!force && std::filesystem::exists(std::filesystem::symlink_status(first, error))) {
    throw FilmError(utf8::FromPath(first) + " exists: --force replaces it");
  }
  writingTo_ = sequence_ ? path_
                         : utf8::FromPath(folder / ("." + utf8::FromPath(target.filename()) +
                                                    ".velloway-partial"));
}

std::string OutputFile::PictureName(std::int64_t number) const {
  std::array<char, 4096> name{};
  if (av_get_frame_filename2(name.data(), static_cast<int>(name.size()), path_.c_str(),
                             static_cast<int>(number), 0) < 0) {
    throw FilmError(path_ + ": not a picture's name with its number");
  }
  return name.data();
}

void OutputFile::Complete() {
  if (!sequence_) {
    std::error_code error;
    std::filesystem::rename(utf8::ToPath(writingTo_), utf8::ToPath(path_), error);
    if (error) throw FilmError(path_ + ": " + error.message());
  }
  complete_ = true;
}

void OutputFile::Discard(std::int64_t frames) {
  if (complete_) return;
  std::error_code error;
  if (!sequence_) {
    std::filesystem::remove(utf8::ToPath(writingTo_), error);
    return;
  }
  // The pictures written, and the one that may have been begun.
  for (std::int64_t number = kFirstPicture; number <= frames + kFirstPicture; ++number) {
    std::filesystem::remove(utf8::ToPath(PictureName(number)), error);
  }
}

}  // namespace velloway::render
