#include "veltrix/registry/json_text_scanner.h"

#include "veltrix/transport/text_utf.h"

namespace veltrix::registry {

bool JsonTextScanner::takeOutsideByte(char c) {
  if (!started_ && outside_.empty() && (c == '{' || c == '[')) return false;
  outside_ += c;
  bool incomplete = false;
  const std::size_t blank = transport::leadingWhiteSpaceLength(outside_, &incomplete);
  if (blank == outside_.size()) {
    outside_.clear();
  } else if (blank != 0 || !incomplete) {
    state_ = State::kInvalid;
  }
  return true;
}

JsonTextScanner::State JsonTextScanner::append(std::string_view piece) {
  for (std::size_t i = 0; i < piece.size() && state_ != State::kInvalid; ++i) {
    const char c = piece[i];
    if (!started_ || state_ == State::kComplete) {
      if (takeOutsideByte(c)) continue;
      started_ = true;
      begin_ = offset_ + i;
      depth_ = 1;
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
