#pragma once

#include <optional>
#include <string>
#include <utility>
#include <variant>

namespace segno {

// Why an operation did not do its job, in the words the user is shown.
struct Failure {
  std::string reason;
};

// The outcome of anything that can fail: a value, or the reason there is none; never both,
// never neither. Callers must look at it.
template <class T = void>
class [[nodiscard]] Result {
 public:
  Result(T value) : outcome_(std::in_place_index<0>, std::move(value)) {}
  Result(Failure failure) : outcome_(std::in_place_index<1>, std::move(failure)) {}

  bool ok() const { return outcome_.index() == 0; }
  const T& value() const& { return std::get<0>(outcome_); }  // only when ok()
  T&& value() && { return std::get<0>(std::move(outcome_)); }
  const std::string& reason() const { return std::get<1>(outcome_).reason; }  // only when !ok()
  Failure failure() const { return std::get<1>(outcome_); }  // to pass a failure on

 private:
  std::variant<T, Failure> outcome_;
};

// The outcome of an operation that gives nothing back but can fail.
template <>
class [[nodiscard]] Result<void> {
 public:
  Result() = default;
  Result(Failure failure) : reason_(std::move(failure.reason)) {}

  bool ok() const { return !reason_; }
  const std::string& reason() const { return reason_.value(); }  // only when !ok()
  Failure failure() const { return {reason_.value()}; }

 private:
  std::optional<std::string> reason_;
};

}  // namespace segno
