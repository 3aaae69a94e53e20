#pragma once

#include <optional>
#include <string>

namespace segno {

// A value, or a short Italian reason why there is none.
template <class T>
struct Result {
  std::optional<T> value;
  std::string reason;
};

}  // namespace segno
