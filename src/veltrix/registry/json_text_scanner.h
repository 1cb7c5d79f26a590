// Tells when text arriving in pieces has become one complete JSON object or
// array, looking at each byte once.
//
// A peer's text travels without framing, so completeness is the only end
// marker. Re-reading the whole text on every piece made the cost grow with
// the square of its length; the scanner instead keeps, across pieces, where
// it is: before the opening bracket, inside a string (and after a
// backslash there), and the depth of open brackets. The text is complete
// when the opening bracket is closed again and nothing but white space
// follows it. Whether the brackets pair up and the text is valid JSON is
// left to the one parse that follows.
//
// Text that can never become complete makes it invalid for good: anything
// but white space before the opening bracket or after the closing one.
// White space is the platform's white-space-and-newline set, as its JSON
// completeness test trims it; a character of it may be cut between pieces.
//
// A plain value, one per stream; no thread affinity.
#pragma once

#include <cstddef>
#include <string>
#include <string_view>

namespace veltrix::registry {

class JsonTextScanner {
 public:
  enum class State { kIncomplete, kComplete, kInvalid };

  // Looks at the next piece of the stream. Once complete or invalid, later
  // pieces may still turn complete into invalid (text after the end) but
  // change nothing else.
  State append(std::string_view piece);

  State state() const { return state_; }
  // Offsets in the stream of the opening bracket and one past the closing
  // one; meaningful once complete.
  std::size_t begin() const { return begin_; }
  std::size_t end() const { return end_; }

 private:
  // A byte before the opening or after the closing bracket; false when it
  // opens the text.
  bool takeOutsideByte(char c);

  State state_ = State::kIncomplete;
  std::size_t offset_ = 0;  // bytes of the stream looked at so far
  std::size_t begin_ = 0;
  std::size_t end_ = 0;
  std::size_t depth_ = 0;
  bool started_ = false;
  bool inString_ = false;
  bool escaped_ = false;
  std::string outside_;  // the start of a white-space character cut by a piece
};

}  // namespace veltrix::registry
