#include "veltrix/registry/json_text_scanner.h"

namespace veltrix::registry {
namespace {

bool isBlank(char c) { return c == ' ' || (c >= '\t' && c <= '\r'); }

}  // namespace

JsonTextScanner::State JsonTextScanner::append(std::string_view piece) {
  for (std::size_t i = 0; i < piece.size() && state_ != State::kInvalid; ++i) {
    const char c = piece[i];
    if (state_ == State::kComplete) {
      if (!isBlank(c)) state_ = State::kInvalid;
    } else if (!started_) {
      if (c == '{' || c == '[') {
        started_ = true;
        begin_ = offset_ + i;
        depth_ = 1;
      } else if (!isBlank(c)) {
        state_ = State::kInvalid;
      }
    } else if (inString_) {
      if (escaped_) {
        escaped_ = false;
      } else if (c == '\\') {
        escaped_ = true;
      } else if (c == '"') {
        inString_ = false;
      }
    } else if (c == '"') {
      inString_ = true;
    } else if (c == '{' || c == '[') {
      ++depth_;
    } else if ((c == '}' || c == ']') && --depth_ == 0) {
      state_ = State::kComplete;
      end_ = offset_ + i + 1;
    }
  }
  offset_ += piece.size();
  return state_;
}

}  // namespace veltrix::registry
