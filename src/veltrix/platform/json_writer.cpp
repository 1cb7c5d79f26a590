#include "veltrix/platform/json_writer.h"

#include <fmt/format.h>

#include <array>
#include <charconv>
#include <cstdint>
#include <string_view>

namespace veltrix::platform {
namespace {

constexpr int kIndentStep = 2;

// Bytes copied as they are: printable ASCII other than '"' and '\\'.
constexpr std::array<bool, 256> kPlain = [] {
  std::array<bool, 256> table{};
  for (int c = 0x20; c < 0x80; ++c) table[c] = c != '"' && c != '\\';
  return table;
}();

class Writer {
 public:
  explicit Writer(std::string& out) : out_(out) {}

  bool value(const Json& v, int indent) {
    switch (v.type()) {
      case Json::value_t::object:
        return object(v, indent);
      case Json::value_t::array:
        return array(v, indent);
      case Json::value_t::string:
        return string(v.get_ref<const std::string&>());
      case Json::value_t::boolean:
        out_ += v.get<bool>() ? "true" : "false";
        return true;
      case Json::value_t::number_integer:
        integer(v.get<std::int64_t>());
        return true;
      case Json::value_t::number_unsigned:
        integer(v.get<std::uint64_t>());
        return true;
      case Json::value_t::number_float:
        // Rare in messages; the library's own shortest form keeps the text
        // identical to dumpJsonPretty().
        out_ += v.dump();
        return true;
      case Json::value_t::null:
      case Json::value_t::discarded:
        out_ += "null";
        return true;
      case Json::value_t::binary:
        break;
    }
    error_ = "cannot write binary values";
    return false;
  }

  const std::string& error() const { return error_; }

 private:
  bool object(const Json& v, int indent) {
    const auto& members = v.get_ref<const Json::object_t&>();
    if (members.empty()) {
      out_ += "{}";
      return true;
    }
    out_ += "{\n";
    const int inner = indent + kIndentStep;
    bool first = true;
    for (const auto& [key, member] : members) {
      if (!first) out_ += ",\n";
      first = false;
      out_.append(static_cast<std::size_t>(inner), ' ');
      if (!string(key)) return false;
      out_ += ": ";
      if (!value(member, inner)) return false;
    }
    out_ += '\n';
    out_.append(static_cast<std::size_t>(indent), ' ');
    out_ += '}';
    return true;
  }

  bool array(const Json& v, int indent) {
    const auto& elements = v.get_ref<const Json::array_t&>();
    if (elements.empty()) {
      out_ += "[]";
      return true;
    }
    out_ += "[\n";
    const int inner = indent + kIndentStep;
    bool first = true;
    for (const Json& element : elements) {
      if (!first) out_ += ",\n";
      first = false;
      out_.append(static_cast<std::size_t>(inner), ' ');
      if (!value(element, inner)) return false;
    }
    out_ += '\n';
    out_.append(static_cast<std::size_t>(indent), ' ');
    out_ += ']';
    return true;
  }

  template <typename T>
  void integer(T n) {
    char buffer[24];
    auto [end, ec] = std::to_chars(buffer, buffer + sizeof buffer, n);
    out_.append(buffer, end);
  }

  bool string(std::string_view s) {
    out_ += '"';
    std::size_t i = 0;
    while (i < s.size()) {
      const std::size_t start = i;
      while (i < s.size() && kPlain[static_cast<unsigned char>(s[i])]) ++i;
      out_.append(s.data() + start, i - start);
      if (i == s.size()) break;
      const auto c = static_cast<unsigned char>(s[i]);
      if (c >= 0x80) {
        const std::size_t length = utf8Length(s, i);
        if (length == 0) return false;
        out_.append(s.data() + i, length);
        i += length;
        continue;
      }
      escape(c);
      ++i;
    }
    out_ += '"';
    return true;
  }

  void escape(unsigned char c) {
    switch (c) {
      case '"':
        out_ += "\\\"";
        break;
      case '\\':
        out_ += "\\\\";
        break;
      case '\b':
        out_ += "\\b";
        break;
      case '\f':
        out_ += "\\f";
        break;
      case '\n':
        out_ += "\\n";
        break;
      case '\r':
        out_ += "\\r";
        break;
      case '\t':
        out_ += "\\t";
        break;
      default:
        out_ += fmt::format("\\u{:04x}", c);
        break;
    }
  }

  // The length of the well-formed UTF-8 sequence at `i` (Unicode table 3-7:
  // no overlong forms, no surrogates, nothing above U+10FFFF); 0 and an
  // error when there is none.
  std::size_t utf8Length(std::string_view s, std::size_t i) {
    const auto byte = [&s](std::size_t k) { return static_cast<unsigned char>(s[k]); };
    const unsigned char b0 = byte(i);
    std::size_t length = 0;
    unsigned char lo = 0x80;
    unsigned char hi = 0xBF;
    if (b0 >= 0xC2 && b0 <= 0xDF) {
      length = 2;
    } else if (b0 >= 0xE0 && b0 <= 0xEF) {
      length = 3;
      if (b0 == 0xE0) lo = 0xA0;
      if (b0 == 0xED) hi = 0x9F;
    } else if (b0 >= 0xF0 && b0 <= 0xF4) {
      length = 4;
      if (b0 == 0xF0) lo = 0x90;
      if (b0 == 0xF4) hi = 0x8F;
    } else {
      return invalid(i, b0);
    }
    for (std::size_t k = 1; k < length; ++k) {
      if (i + k >= s.size()) {
        error_ = fmt::format("incomplete UTF-8 string; last byte: 0x{:02X}", byte(s.size() - 1));
        return 0;
      }
      const unsigned char b = byte(i + k);
      if (b < (k == 1 ? lo : 0x80) || b > (k == 1 ? hi : 0xBF)) return invalid(i + k, b);
    }
    return length;
  }

  std::size_t invalid(std::size_t index, unsigned char b) {
    error_ = fmt::format("invalid UTF-8 byte at index {}: 0x{:02X}", index, b);
    return 0;
  }

  std::string& out_;
  std::string error_;
};

}  // namespace

std::optional<std::string> writeJsonPretty(const Json& value, std::string* error) {
  std::string out;
  out.reserve(1024);
  Writer writer(out);
  if (!writer.value(value, 0)) {
    if (error) *error = writer.error();
    return std::nullopt;
  }
  return out;
}

}  // namespace veltrix::platform
