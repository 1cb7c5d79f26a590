// Cuts a stream of text into complete top-level JSON documents.
//
// A terminal writes one JSON message after another on the same response,
// and the pieces that arrive need not end where a message ends: a piece may
// hold the end of one message and the start of the next. The splitter hands
// out each message as soon as its last byte has arrived, whatever the piece
// boundaries. It tracks the nesting of brackets outside strings and parses
// each candidate once with the bounded parser, handing out the value with
// the text, so its cost is linear in the text.
//
// Blanks are the platform's white space and line ends (vertical tab, form
// feed, no-break space and the other Unicode spaces too), the set the
// completeness test trims. A delivered document keeps the blanks it carries:
// those before it and those that arrived right after its closing bracket.
//
// Text that cannot begin a document (anything but blanks before "{" or "["),
// or a candidate that does not parse, makes the stream invalid: nothing more
// is delivered and the rest stays pending. A document longer than the limit
// makes the stream too large: the pending text is freed.
//
// One splitter per stream; not thread-safe (used on the main queue).
#pragma once

#include <cstddef>
#include <string>
#include <string_view>
#include <vector>

#include "veltrix/platform/json.h"

namespace veltrix::transport {

class JsonDocumentSplitter {
 public:
  // Upper bound of one message, blanks included.
  static constexpr std::size_t kMaxDocumentBytes = 16u * 1024u * 1024u;

  enum class State { kCollecting, kInvalid, kTooLarge };

  struct Document {
    std::string text;      // as received, blanks included
    platform::Json value;  // its parse: an object or an array
  };

  explicit JsonDocumentSplitter(std::size_t maxDocumentBytes = kMaxDocumentBytes);

  // Adds the next piece and returns the documents it completed, in order.
  std::vector<Document> append(std::string_view piece);

  State state() const { return state_; }
  // Text received and not (yet) delivered.
  const std::string& pending() const { return buffer_; }
  // True when nothing but blanks is pending.
  bool pendingIsBlank() const;
  // Forgets everything and starts a new stream.
  void reset();

 private:
  void startNextDocument(std::size_t at);

  std::size_t maxDocumentBytes_;
  State state_ = State::kCollecting;
  std::string buffer_;
  std::size_t scanned_ = 0;  // bytes of buffer_ already looked at
  std::size_t open_ = 0;     // offset of the opening bracket, when started_
  std::size_t depth_ = 0;
  bool started_ = false;
  bool inString_ = false;
  bool escaped_ = false;
};

}  // namespace veltrix::transport
