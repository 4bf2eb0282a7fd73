#include "platform/headless/headless_music.h"

namespace velloway::headless {

bool HeadlessMusic::Open(std::string_view path) {
  if (state_ != State::Closed || missing_.contains(path)) return false;
  path_ = path;
  state_ = State::Finished;
  return true;
}

bool HeadlessMusic::Play() {
  if (state_ == State::Closed || unplayable_.contains(path_)) return false;
  state_ = State::Playing;
  return true;
}

void HeadlessMusic::Stop() {
  if (state_ == State::Playing) state_ = State::Finished;
}

void HeadlessMusic::Close() {
  state_ = State::Closed;
  path_.clear();
}

}  // namespace velloway::headless
