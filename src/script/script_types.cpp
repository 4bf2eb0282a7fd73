#include "script/script_types.h"

#include <utility>

namespace velloway {

const std::string& RollRecord::Param(int index) const {
  static const std::string empty;
  if (index < 1 || index > kMaxParam) return empty;
  return params_[static_cast<std::size_t>(index - 1)];
}

void RollRecord::SetParam(int index, std::string text) {
  if (index < 1 || index > kMaxParam) return;
  params_[static_cast<std::size_t>(index - 1)] = std::move(text);
}

}  // namespace velloway
