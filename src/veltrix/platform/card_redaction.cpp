#include "veltrix/platform/card_redaction.h"

#include <algorithm>
#include <array>
#include <cstddef>
#include <vector>

namespace veltrix::platform {
namespace {

constexpr std::array<std::string_view, 7> kCardKeys = {
    "pan", "track1", "track2", "track3", "cvv2", "expiryDate", "acquireManagerPwd"};
constexpr std::string_view kMasked = "***";
constexpr std::size_t kPanKeepHead = 6;
constexpr std::size_t kPanKeepTail = 4;
constexpr std::size_t kPanMinMaskedLength = 13;

struct Replacement {
  std::size_t begin;
  std::size_t end;
  std::string text;
};

bool isBlankChar(char c) { return c == ' ' || c == '\t' || c == '\n' || c == '\r'; }
bool isDigit(char c) { return c >= '0' && c <= '9'; }
bool isNumberChar(char c) {
  return isDigit(c) || c == '-' || c == '+' || c == '.' || c == 'e' || c == 'E';
}

std::size_t skipBlanks(std::string_view t, std::size_t i) {
  while (i < t.size() && isBlankChar(t[i])) ++i;
  return i;
}

std::string mask(std::string_view key, std::string_view value) {
  if (key != "pan" || value.size() < kPanMinMaskedLength) return std::string(kMasked);
  for (char c : value) {
    // Escapes and multi-byte characters would be cut in half.
    if (c < 0x20 || c > 0x7e || c == '\\' || c == '"') return std::string(kMasked);
  }
  std::string out(value.substr(0, kPanKeepHead));
  out.append(value.size() - kPanKeepHead - kPanKeepTail, '*');
  out.append(value.substr(value.size() - kPanKeepTail));
  return out;
}

// End (index of the closing quote) of a plain JSON string whose content
// starts at `i`; npos when the text ends first.
std::size_t plainStringEnd(std::string_view t, std::size_t i) {
  for (; i < t.size(); ++i) {
    if (t[i] == '\\') {
      ++i;
    } else if (t[i] == '"') {
      return i;
    }
  }
  return std::string_view::npos;
}

// Looks at one occurrence of `key` at `at` and, when it is a member name,
// records the replacement of its value.
void inspect(std::string_view t, std::string_view key, std::size_t at,
             std::vector<Replacement>& out) {
  if (at == 0 || t[at - 1] != '"') return;
  // The quote may be escaped any number of times (JSON inside a string):
  // the closing quote must carry the same escapes.
  std::size_t slashes = 0;
  while (at - 1 > slashes && t[at - 2 - slashes] == '\\') ++slashes;
  std::string quote(slashes, '\\');
  quote.push_back('"');
  std::size_t i = at + key.size();
  if (t.compare(i, quote.size(), quote) != 0) return;
  i = skipBlanks(t, i + quote.size());
  if (i >= t.size() || t[i] != ':') return;
  i = skipBlanks(t, i + 1);
  if (i >= t.size()) return;

  if (t.compare(i, quote.size(), quote) == 0) {
    const std::size_t begin = i + quote.size();
    std::size_t end = slashes == 0 ? plainStringEnd(t, begin) : t.find(quote, begin);
    if (end == std::string_view::npos) end = t.size();
    if (end == begin) return;  // "" holds nothing
    out.push_back({begin, end, mask(key, t.substr(begin, end - begin))});
  } else if (isDigit(t[i]) || t[i] == '-') {
    std::size_t end = i;
    while (end < t.size() && isNumberChar(t[end])) ++end;
    // A number becomes a text so that the mask stays valid JSON.
    out.push_back({i, end, quote + mask(key, t.substr(i, end - i)) + quote});
  }
}

}  // namespace

std::string redactCardData(std::string_view text) {
  std::vector<Replacement> found;
  for (std::string_view key : kCardKeys) {
    for (std::size_t at = text.find(key); at != std::string_view::npos;
         at = text.find(key, at + key.size())) {
      inspect(text, key, at, found);
    }
  }
  if (found.empty()) return std::string(text);

  std::sort(found.begin(), found.end(),
            [](const Replacement& a, const Replacement& b) { return a.begin < b.begin; });
  std::string out;
  out.reserve(text.size());
  std::size_t copied = 0;
  for (const Replacement& r : found) {
    if (r.begin < copied) continue;  // inside a value masked already
    out.append(text.substr(copied, r.begin - copied));
    out.append(r.text);
    copied = r.end;
  }
  out.append(text.substr(copied));
  return out;
}

}  // namespace veltrix::platform
