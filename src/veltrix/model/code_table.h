// The shape shared by every code table of the messages: a list of wire codes
// whose positions are the integer values of an enumeration, a code fallback
// for values outside the list and a parse fallback for texts that are no
// code. Tables are constant data; every operation is pure and thread-safe.
#pragma once

#include <array>
#include <cstddef>
#include <cstdint>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

namespace veltrix::model {

// How a text is matched against the codes of a table.
enum class ParseRule {
  // ASCII upper-casing first, no trimming: "succ" matches, " SUCC" does not.
  kUpperCase,
  // Compared unchanged: "ctdp" is no code.
  kExact,
};

template <typename E, std::size_t N>
class CodeTable {
 public:
  // The longest text that can match a code; longer texts are rejected before
  // any upper-casing.
  static constexpr std::size_t kMaxCodeLength = 40;

  constexpr CodeTable(std::array<std::string_view, N> codes, std::int64_t firstValue,
                      std::string_view codeFallback, ParseRule rule, E parseFallback)
      : codes_(codes),
        first_(firstValue),
        codeFallback_(codeFallback),
        rule_(rule),
        parseFallback_(parseFallback) {}

  constexpr std::size_t size() const { return N; }
  constexpr std::int64_t firstValue() const { return first_; }
  constexpr E parseFallback() const { return parseFallback_; }

  // Every code is non-empty, fits kMaxCodeLength and appears once, and the
  // parse fallback is a value of the table. Checked at compile time.
  constexpr bool wellFormed() const {
    for (std::size_t i = 0; i < N; ++i) {
      if (codes_[i].empty() || codes_[i].size() > kMaxCodeLength) return false;
      for (std::size_t j = i + 1; j < N; ++j) {
        if (codes_[i] == codes_[j]) return false;
      }
    }
    return contains(parseFallback_);
  }

  // True when `value` is a position of the table.
  constexpr bool contains(std::int64_t value) const {
    return value >= first_ && value - first_ < static_cast<std::int64_t>(N);
  }
  constexpr bool contains(E value) const { return contains(static_cast<std::int64_t>(value)); }

  // The code of `value`, or the code fallback outside the table.
  constexpr std::string_view codeView(E value) const {
    const auto v = static_cast<std::int64_t>(value);
    return contains(v) ? codes_[static_cast<std::size_t>(v - first_)] : codeFallback_;
  }
  std::string code(E value) const { return std::string(codeView(value)); }

  // The value whose code is `text` under the table's rule; nullopt when the
  // text is absent, empty or no code.
  std::optional<E> find(std::optional<std::string_view> text) const {
    if (!text || text->empty() || text->size() > kMaxCodeLength) return std::nullopt;
    std::string_view key = *text;
    char upper[kMaxCodeLength];
    if (rule_ == ParseRule::kUpperCase) {
      for (std::size_t i = 0; i < key.size(); ++i) {
        const char c = key[i];
        upper[i] = (c >= 'a' && c <= 'z') ? static_cast<char>(c - 'a' + 'A') : c;
      }
      key = std::string_view(upper, key.size());
    }
    for (std::size_t i = 0; i < N; ++i) {
      if (codes_[i] == key) return static_cast<E>(first_ + static_cast<std::int64_t>(i));
    }
    return std::nullopt;
  }

  // The value whose code is `text`, else `fallback`.
  E parse(std::optional<std::string_view> text, E fallback) const {
    return find(text).value_or(fallback);
  }
  E parse(std::optional<std::string_view> text) const { return parse(text, parseFallback_); }

  // `value` itself when it is a position of the table, else the parse
  // fallback: cleans an integer that came from outside.
  constexpr E clean(std::int64_t value) const {
    return contains(value) ? static_cast<E>(value) : parseFallback_;
  }

  // Every value of the table, ascending.
  std::vector<E> values() const {
    std::vector<E> out;
    out.reserve(N);
    for (std::size_t i = 0; i < N; ++i) {
      out.push_back(static_cast<E>(first_ + static_cast<std::int64_t>(i)));
    }
    return out;
  }

 private:
  std::array<std::string_view, N> codes_;
  std::int64_t first_;
  std::string_view codeFallback_;
  ParseRule rule_;
  E parseFallback_;
};

}  // namespace veltrix::model
