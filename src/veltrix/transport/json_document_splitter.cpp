#include "veltrix/transport/json_document_splitter.h"

#include "veltrix/platform/log.h"
#include "veltrix/transport/text_utf.h"

namespace veltrix::transport {

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
  std::string_view rest = buffer_;
  while (const std::size_t n = leadingWhiteSpaceLength(rest)) rest.remove_prefix(n);
  return rest.empty();
}

std::vector<JsonDocumentSplitter::Document> JsonDocumentSplitter::append(std::string_view piece) {
  std::vector<Document> documents;
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
      } else {
        bool incomplete = false;
        const std::size_t blank =
            leadingWhiteSpaceLength(std::string_view(buffer_).substr(i), &incomplete);
        if (incomplete) break;  // the rest of the character is still to come
        if (blank == 0) {
          platform::logf("JSON stream holds text outside a document at offset {}", i);
          state_ = State::kInvalid;
          break;
        }
        i += blank;
        continue;
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
      while (const std::size_t blank =
                 leadingWhiteSpaceLength(std::string_view(buffer_).substr(end))) {
        end += blank;
      }
      if (end - consumed > maxDocumentBytes_) {
        state_ = State::kTooLarge;
        break;
      }
      const std::string_view json = std::string_view(buffer_).substr(open_, i + 1 - open_);
      std::optional<platform::Json> value = platform::parseJson(json);
      if (!value) {
        platform::logf("JSON stream holds a document that does not parse at offset {}", open_);
        state_ = State::kInvalid;
        break;
      }
      documents.push_back({buffer_.substr(consumed, end - consumed), std::move(*value)});
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
