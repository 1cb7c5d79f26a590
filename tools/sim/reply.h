// What the simulated terminal receives and what it answers: the recorded
// request and the reply script (status, headers, framing, the body's pieces
// with their delays, and faults).
//
// Plain values; thread-compatible.
#pragma once

#include <chrono>
#include <cstddef>
#include <cstdint>
#include <optional>
#include <string>
#include <string_view>
#include <utility>
#include <vector>

namespace veltrix::sim {

using Millis = std::chrono::milliseconds;
using HeaderList = std::vector<std::pair<std::string, std::string>>;

// One request as it reached the terminal.
struct RecordedRequest {
  std::uint64_t connection = 0;  // 1 for the first accepted connection, and so on
  std::string method;
  std::string target;
  std::string version;
  HeaderList headers;  // as received, in order
  std::string body;

  // The value of the first header called `name` (case-insensitive).
  std::optional<std::string> header(std::string_view name) const;
  // A top-level text member of the JSON body ("serviceType", ...), if any.
  std::optional<std::string> jsonText(std::string_view key) const;
};

// How the end of the body is marked.
enum class Framing { kChunked, kContentLength, kClose };

enum class Fault {
  kNone,
  kCloseWithoutData,  // close the connection instead of answering
  kHoldOpen,          // after the pieces, keep the connection open and silent
  kReset,             // after the pieces, reset the connection (RST)
};

// Bytes written at once, after a pause (and, when asked, after a release).
struct Piece {
  std::string bytes;
  Millis delay{0};
  bool waitForRelease = false;
};

struct Reply {
  int status = 200;
  std::string reason = "OK";
  std::optional<std::string> contentType = std::string("application/json");
  Framing framing = Framing::kChunked;
  HeaderList headers;  // further header fields
  Millis headerDelay{0};
  // Hold the status line until HttpSimulator::release() is called.
  bool waitForRelease = false;
  std::vector<Piece> pieces;
  Fault fault = Fault::kNone;
  // A held connection closes by itself after this long.
  Millis holdLimit{10000};

  // One piece per message, each after `gap`.
  static Reply messages(const std::vector<std::string>& texts, Millis gap = Millis(0));
  // The body cut at the given byte offsets (ascending), each piece after
  // `gap`. Offsets may fall inside a character or between two messages.
  static Reply cut(const std::string& body, const std::vector<std::size_t>& offsets,
                   Millis gap = Millis(0));
  // A plain answer with one piece.
  static Reply plain(int status, std::string reason, std::string body,
                     std::optional<std::string> contentType);

  std::string body() const;
};

// Which requests a scripted reply answers; an empty field matches anything.
struct ReplyMatch {
  std::optional<std::string> method;
  std::optional<std::string> serviceType;

  bool matches(const RecordedRequest& request) const;
};

// JSON string escaping for texts written into literal message formats.
std::string jsonEscape(std::string_view text);

}  // namespace veltrix::sim
