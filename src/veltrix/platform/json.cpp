#include "veltrix/platform/json.h"

#include <fmt/format.h>

#include <algorithm>
#include <cmath>
#include <cstdint>
#include <deque>
#include <string>
#include <utility>
#include <vector>

namespace veltrix::platform {
namespace {

// Builds the value bottom-up from the parser's events. Each open array or
// object is a frame; a finished one is moved into its parent, so no value is
// copied. Object members are collected in a plain vector and moved into the
// ordered map in one go: the map itself would search its members on every
// insert. Repeated keys are merged when the object ends, by a scan while it
// is small and by sorting once it is not; a hash index would let crafted
// keys that collide make the work quadratic.
class Builder {
 public:
  using number_integer_t = Json::number_integer_t;
  using number_unsigned_t = Json::number_unsigned_t;
  using number_float_t = Json::number_float_t;
  using string_t = Json::string_t;
  using binary_t = Json::binary_t;

  bool null() { return add(Json(nullptr)); }
  bool boolean(bool value) { return add(Json(value)); }
  bool number_integer(number_integer_t value) { return add(Json(value)); }
  bool number_unsigned(number_unsigned_t value) { return add(Json(value)); }
  bool number_float(number_float_t value, const string_t&) { return add(Json(value)); }
  bool string(string_t& value) { return add(Json(std::move(value))); }
  bool binary(binary_t&) { return false; }  // never produced by text

  bool start_object(std::size_t) { return open(true); }
  bool key(string_t& key) {
    frames_.back().key = std::move(key);
    return true;
  }
  bool end_object() {
    Frame frame = pop();
    const std::vector<bool> dropped = mergeRepeatedKeys(frame.members);
    Json object(Json::value_t::object);
    auto& members = object.get_ref<Json::object_t&>();
    members.reserve(frame.members.size());
    for (std::size_t i = 0; i < frame.members.size(); ++i) {
      if (dropped.empty() || !dropped[i]) {
        members.emplace_back(std::move(frame.members[i].first), std::move(frame.members[i].second));
      }
    }
    return add(std::move(object));
  }
  bool start_array(std::size_t) { return open(false); }
  bool end_array() { return add(pop().array); }

  bool parse_error(std::size_t, const std::string&, const Json::exception& e) {
    error_ = e.what();
    return false;
  }

  bool tooDeep() const { return tooDeep_; }
  const std::string& error() const { return error_; }
  Json& result() { return result_; }

 private:
  using Members = std::vector<std::pair<std::string, Json>>;

  // Objects up to this size are merged by comparing every pair of keys.
  static constexpr std::size_t kScanUpTo = 16;

  struct Frame {
    bool isObject = false;
    std::string key;
    Members members;
    Json array = Json::array();
  };

  // A key that appears more than once keeps its first place and takes its
  // last value, as the library's parser has it. Returns which members to
  // leave out (empty when none).
  static std::vector<bool> mergeRepeatedKeys(Members& members) {
    std::vector<bool> dropped;
    const std::size_t n = members.size();
    const auto merge = [&](std::size_t first, std::size_t later) {
      if (dropped.empty()) dropped.assign(n, false);
      members[first].second = std::move(members[later].second);
      dropped[later] = true;
    };
    if (n <= kScanUpTo) {
      for (std::size_t i = 1; i < n; ++i) {
        for (std::size_t j = 0; j < i; ++j) {
          const bool gone = !dropped.empty() && dropped[j];
          if (gone || members[j].first != members[i].first) continue;
          merge(j, i);
          break;
        }
      }
      return dropped;
    }
    std::vector<std::size_t> order(n);
    for (std::size_t i = 0; i < n; ++i) order[i] = i;
    std::sort(order.begin(), order.end(), [&](std::size_t a, std::size_t b) {
      const int c = members[a].first.compare(members[b].first);
      return c != 0 ? c < 0 : a < b;
    });
    for (std::size_t i = 1; i < n; ++i) {
      // order[i - 1] holds the first place of its key once merged into.
      if (members[order[i]].first != members[order[i - 1]].first) continue;
      merge(order[i - 1], order[i]);
      order[i] = order[i - 1];
    }
    return dropped;
  }

  bool open(bool isObject) {
    if (frames_.size() >= kMaxJsonDepth) {
      tooDeep_ = true;
      return false;
    }
    frames_.emplace_back().isObject = isObject;
    return true;
  }

  Frame pop() {
    Frame frame = std::move(frames_.back());
    frames_.pop_back();
    return frame;
  }

  bool add(Json value) {
    if (frames_.empty()) {
      result_ = std::move(value);
      return true;
    }
    Frame& frame = frames_.back();
    if (!frame.isObject) {
      frame.array.get_ref<Json::array_t&>().push_back(std::move(value));
      return true;
    }
    frame.members.emplace_back(std::move(frame.key), std::move(value));
    return true;
  }

  std::deque<Frame> frames_;  // a deque: open frames never move
  Json result_;
  std::string error_;
  bool tooDeep_ = false;
};

thread_local ParsedJsonLoan* innermostLoan = nullptr;

std::optional<Json> parse(std::string_view text, bool allowScalar, std::string* error) {
  if (std::optional<Json> lent = ParsedJsonLoan::take(text)) {
    if (allowScalar || lent->is_structured()) return lent;
  }
  // The lexer takes a NUL byte for the end of its input and would accept
  // whatever follows one; a raw NUL is never part of a JSON text.
  if (text.find('\0') != std::string_view::npos) {
    if (error) *error = "JSON text holds a NUL byte";
    return std::nullopt;
  }
  try {
    Builder builder;
    if (!Json::sax_parse(text.begin(), text.end(), &builder, Json::input_format_t::json, true)) {
      if (error) {
        *error = builder.tooDeep()
                     ? fmt::format("JSON text nested deeper than {} levels", kMaxJsonDepth)
                     : builder.error();
        if (error->empty()) *error = "JSON parse failed";
      }
      return std::nullopt;
    }
    if (!allowScalar && !builder.result().is_structured()) {
      if (error) *error = "JSON text did not start with array or object";
      return std::nullopt;
    }
    return std::move(builder.result());
  } catch (const std::exception& e) {
    if (error) *error = e.what();
  } catch (...) {
    if (error) *error = "JSON parse failed";
  }
  return std::nullopt;
}

std::optional<std::string> dump(const Json& value, int indent, std::string* error) {
  try {
    return value.dump(indent);
  } catch (const std::exception& e) {
    if (error) *error = e.what();
  } catch (...) {
    if (error) *error = "JSON write failed";
  }
  return std::nullopt;
}

std::string doubleText(double d) {
  if (std::isfinite(d) && d == std::floor(d) && std::fabs(d) < 1e17) {
    return fmt::format("{}", static_cast<std::int64_t>(d));
  }
  return fmt::format("{}", d);
}

}  // namespace

ParsedJsonLoan::ParsedJsonLoan(std::string_view text, Json value)
    : text_(text), value_(std::move(value)), outer_(innermostLoan) {
  innermostLoan = this;
}

ParsedJsonLoan::~ParsedJsonLoan() { innermostLoan = outer_; }

std::optional<Json> ParsedJsonLoan::take(std::string_view text) {
  ParsedJsonLoan* loan = innermostLoan;
  if (loan == nullptr || !loan->value_ || loan->text_ != text) return std::nullopt;
  std::optional<Json> value = std::move(loan->value_);
  loan->value_.reset();
  return value;
}

std::optional<Json> parseJson(std::string_view text, std::string* error) {
  return parse(text, false, error);
}

std::optional<Json> parseJsonFragment(std::string_view text, std::string* error) {
  return parse(text, true, error);
}

std::optional<std::string> dumpJson(const Json& value, std::string* error) {
  return dump(value, -1, error);
}

std::optional<std::string> dumpJsonPretty(const Json& value, std::string* error) {
  return dump(value, 2, error);
}

std::string jsonNumberText(const Json& value) {
  switch (value.type()) {
    case Json::value_t::boolean:
      return value.get<bool>() ? "1" : "0";
    case Json::value_t::number_integer:
      return fmt::format("{}", value.get<std::int64_t>());
    case Json::value_t::number_unsigned:
      return fmt::format("{}", value.get<std::uint64_t>());
    case Json::value_t::number_float:
      return doubleText(value.get<double>());
    default:
      return "";
  }
}

std::optional<std::string> jsonText(const Json& value) {
  if (value.is_string()) return value.get<std::string>();
  if (value.is_number() || value.is_boolean()) return jsonNumberText(value);
  return std::nullopt;
}

std::optional<std::string> readText(const Json& object, std::string_view key) {
  if (!object.is_object()) return std::nullopt;
  auto it = object.find(key);
  if (it == object.end()) return std::nullopt;
  return jsonText(*it);
}

const Json* findObject(const Json& object, std::string_view key) {
  if (!object.is_object()) return nullptr;
  auto it = object.find(key);
  return it != object.end() && it->is_object() ? &*it : nullptr;
}

const Json* findArray(const Json& object, std::string_view key) {
  if (!object.is_object()) return nullptr;
  auto it = object.find(key);
  return it != object.end() && it->is_array() ? &*it : nullptr;
}

}  // namespace veltrix::platform
