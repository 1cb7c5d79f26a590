#include "sim/reply.h"

#include <fmt/format.h>

#include <algorithm>
#include <cctype>
#include <nlohmann/json.hpp>

namespace veltrix::sim {
namespace {

bool equalsIgnoringCase(std::string_view a, std::string_view b) {
  return a.size() == b.size() && std::equal(a.begin(), a.end(), b.begin(), [](char x, char y) {
           return std::tolower(static_cast<unsigned char>(x)) ==
                  std::tolower(static_cast<unsigned char>(y));
         });
}

}  // namespace

std::optional<std::string> RecordedRequest::header(std::string_view name) const {
  for (const auto& [key, value] : headers) {
    if (equalsIgnoringCase(key, name)) return value;
  }
  return std::nullopt;
}

std::optional<std::string> RecordedRequest::jsonText(std::string_view key) const {
  const auto json = nlohmann::json::parse(body, nullptr, false);
  if (!json.is_object()) return std::nullopt;
  const auto it = json.find(key);
  if (it == json.end() || !it->is_string()) return std::nullopt;
  return it->get<std::string>();
}

Reply Reply::messages(const std::vector<std::string>& texts, Millis gap) {
  Reply reply;
  for (const std::string& text : texts) reply.pieces.push_back(Piece{text, gap});
  return reply;
}

Reply Reply::cut(const std::string& body, const std::vector<std::size_t>& offsets, Millis gap) {
  Reply reply;
  std::size_t from = 0;
  for (std::size_t at : offsets) {
    at = std::min(at, body.size());
    if (at <= from) continue;
    reply.pieces.push_back(Piece{body.substr(from, at - from), gap});
    from = at;
  }
  if (from < body.size()) reply.pieces.push_back(Piece{body.substr(from), gap});
  return reply;
}

Reply Reply::plain(int status, std::string reason, std::string body,
                   std::optional<std::string> contentType) {
  Reply reply;
  reply.status = status;
  reply.reason = std::move(reason);
  reply.contentType = std::move(contentType);
  reply.framing = Framing::kContentLength;
  if (!body.empty()) reply.pieces.push_back(Piece{std::move(body), Millis(0)});
  return reply;
}

std::string Reply::body() const {
  std::string out;
  for (const Piece& piece : pieces) out += piece.bytes;
  return out;
}

bool ReplyMatch::matches(const RecordedRequest& request) const {
  if (method && !equalsIgnoringCase(*method, request.method)) return false;
  if (serviceType && request.jsonText("serviceType") != serviceType) return false;
  return true;
}

std::string jsonEscape(std::string_view text) {
  std::string out;
  out.reserve(text.size());
  for (char c : text) {
    const auto u = static_cast<unsigned char>(c);
    switch (c) {
      case '"':
        out += "\\\"";
        break;
      case '\\':
        out += "\\\\";
        break;
      case '\n':
        out += "\\n";
        break;
      case '\r':
        out += "\\r";
        break;
      case '\t':
        out += "\\t";
        break;
      default:
        if (u < 0x20) {
          out += fmt::format("\\u{:04x}", u);
        } else {
          out.push_back(c);
        }
    }
  }
  return out;
}

}  // namespace veltrix::sim
