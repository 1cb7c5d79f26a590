#include "veltrix/transport/json_document_splitter.h"

#include "veltrix/platform/json.h"
#include "veltrix/platform/log.h"

namespace veltrix::transport {
namespace {

bool isBlank(char c) { return c == ' ' || c == '\t' || c == '\n' || c == '\r'; }

}  // namespace

JsonDocumentSplitter::JsonDocumentSplitter(std::size_t maxDocumentBytes)
    : maxDocumentBytes_(maxDocumentBytes) {}

void JsonDocumentSplitter::reset() {
  state_ = State::kCollecting;
  buffer_.clear();
  startNextDocument(0);
}

void JsonDocumentSplitter::startNextDocument(std::size_t at) {
  scanned_ = at;
  open_ = 0;
  depth_ = 0;
  started_ = false;
  inString_ = false;
  escaped_ = false;
}

bool JsonDocumentSplitter::pendingIsBlank() const {
  for (char c : buffer_) {
    if (!isBlank(c)) return false;
  }
  return true;
}

std::vector<std::string> JsonDocumentSplitter::append(std::string_view piece) {
  std::vector<std::string> documents;
  if (state_ != State::kCollecting) return documents;
  buffer_.append(piece);

  // Documents are cut from the front of buffer_ once the piece is scanned,
  // so each byte is looked at once.
  std::size_t consumed = 0;
  std::size_t i = scanned_;
  const std::size_t n = buffer_.size();
  while (i < n) {
    const char c = buffer_[i];
    if (!started_) {
      if (c == '{' || c == '[') {
        started_ = true;
        open_ = i;
        depth_ = 1;
      } else if (!isBlank(c)) {
        platform::logf("JSON stream holds text outside a document at offset {}", i);
        state_ = State::kInvalid;
        break;
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
      std::size_t end = i + 1;
      while (end < n && isBlank(buffer_[end])) ++end;
      if (end - consumed > maxDocumentBytes_) {
        state_ = State::kTooLarge;
        break;
      }
      const std::string_view json = std::string_view(buffer_).substr(open_, i + 1 - open_);
      if (!platform::parseJson(json)) {
        platform::logf("JSON stream holds a document that does not parse at offset {}", open_);
        state_ = State::kInvalid;
        break;
      }
      documents.emplace_back(buffer_, consumed, end - consumed);
      consumed = end;
      startNextDocument(end);
      i = end;
      continue;
    }
    ++i;
  }

  if (state_ == State::kTooLarge ||
      (state_ == State::kCollecting && buffer_.size() - consumed > maxDocumentBytes_)) {
    state_ = State::kTooLarge;
    std::string().swap(buffer_);
    startNextDocument(0);
    return documents;
  }
  buffer_.erase(0, consumed);
  if (state_ == State::kCollecting) {
    scanned_ = i - consumed;
    if (started_) open_ -= consumed;
  }
  return documents;
}

}  // namespace veltrix::transport
