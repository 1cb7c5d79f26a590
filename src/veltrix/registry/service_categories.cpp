#include "veltrix/registry/service_categories.h"

#include <cstdint>
#include <memory>
#include <utility>
#include <vector>

#include "veltrix/platform/file.h"
#include "veltrix/transport/kv_iso_utils.h"

namespace veltrix::registry {
namespace {

// One value of the property list. Scalars keep their text; the kind tells
// a <string> from the others.
// A member is a struct of its own: std::pair needs a complete Node, which
// Node cannot be inside itself (libstdc++ with clang refuses it).
struct Member;
struct Node {
  enum class Kind { Dict, Array, String, Other };
  Kind kind = Kind::Other;
  std::string text;
  std::vector<Member> members;  // Dict
  std::vector<Node> items;      // Array
};
struct Member {
  std::string key;
  Node value;
};

// A recursive-descent reader over the text; every failure ends the parse.
class PlistReader {
 public:
  explicit PlistReader(std::string_view xml) : s_(xml) {}

  std::optional<Node> readDocument() {
    skipMisc();
    std::string name;
    bool empty = false;
    if (!openTag(&name, &empty) || name != "plist" || empty) return std::nullopt;
    skipMisc();
    std::optional<Node> root = readValue(0);
    if (!root) return std::nullopt;
    skipMisc();
    if (!closeTag("plist")) return std::nullopt;
    return root;
  }

 private:
  static constexpr int kMaxDepth = 64;

  bool startsWith(std::string_view prefix) const { return s_.substr(i_).starts_with(prefix); }

  // Skips to just after `terminator`; false when it never comes.
  bool skipPast(std::string_view terminator) {
    const std::size_t at = s_.find(terminator, i_);
    if (at == std::string_view::npos) return false;
    i_ = at + terminator.size();
    return true;
  }

  void skipSpace() {
    while (i_ < s_.size() && (s_[i_] == ' ' || s_[i_] == '\t' || s_[i_] == '\n' || s_[i_] == '\r'))
      ++i_;
  }

  // White space, comments, the XML declaration and the DOCTYPE.
  void skipMisc() {
    for (;;) {
      skipSpace();
      if (startsWith("<!--")) {
        if (!skipPast("-->")) i_ = s_.size();
      } else if (startsWith("<?")) {
        if (!skipPast("?>")) i_ = s_.size();
      } else if (startsWith("<!DOCTYPE")) {
        if (!skipPast(">")) i_ = s_.size();
      } else {
        return;
      }
    }
  }

  // "<name attributes>" or "<name/>"; attributes are not needed.
  bool openTag(std::string* name, bool* empty) {
    if (i_ >= s_.size() || s_[i_] != '<' || startsWith("</")) return false;
    const std::size_t end = s_.find('>', i_);
    if (end == std::string_view::npos) return false;
    std::string_view inner = s_.substr(i_ + 1, end - i_ - 1);
    *empty = !inner.empty() && inner.back() == '/';
    if (*empty) inner.remove_suffix(1);
    const std::size_t nameEnd = inner.find_first_of(" \t\r\n");
    *name = std::string(inner.substr(0, nameEnd));
    i_ = end + 1;
    return !name->empty();
  }

  bool closeTag(std::string_view name) {
    skipSpace();
    if (!startsWith("</")) return false;
    const std::size_t end = s_.find('>', i_);
    if (end == std::string_view::npos) return false;
    std::string_view inner = s_.substr(i_ + 2, end - i_ - 2);
    while (!inner.empty() && (inner.back() == ' ' || inner.back() == '\t')) inner.remove_suffix(1);
    if (inner != name) return false;
    i_ = end + 1;
    return true;
  }

  static void appendUtf8(std::string& out, std::uint32_t cp) {
    if (cp < 0x80) {
      out.push_back(static_cast<char>(cp));
    } else if (cp < 0x800) {
      out.push_back(static_cast<char>(0xC0 | (cp >> 6)));
      out.push_back(static_cast<char>(0x80 | (cp & 0x3F)));
    } else if (cp < 0x10000) {
      out.push_back(static_cast<char>(0xE0 | (cp >> 12)));
      out.push_back(static_cast<char>(0x80 | ((cp >> 6) & 0x3F)));
      out.push_back(static_cast<char>(0x80 | (cp & 0x3F)));
    } else {
      out.push_back(static_cast<char>(0xF0 | (cp >> 18)));
      out.push_back(static_cast<char>(0x80 | ((cp >> 12) & 0x3F)));
      out.push_back(static_cast<char>(0x80 | ((cp >> 6) & 0x3F)));
      out.push_back(static_cast<char>(0x80 | (cp & 0x3F)));
    }
  }

  // Character data up to the next tag, entities and CDATA sections decoded.
  std::optional<std::string> readText() {
    std::string out;
    while (i_ < s_.size()) {
      if (startsWith("<![CDATA[")) {
        const std::size_t start = i_ + 9;
        const std::size_t end = s_.find("]]>", start);
        if (end == std::string_view::npos) return std::nullopt;
        out.append(s_.substr(start, end - start));
        i_ = end + 3;
      } else if (s_[i_] == '<') {
        return out;
      } else if (s_[i_] == '&') {
        const std::size_t end = s_.find(';', i_);
        if (end == std::string_view::npos || end - i_ > 12) return std::nullopt;
        const std::string_view entity = s_.substr(i_ + 1, end - i_ - 1);
        if (entity == "lt") {
          out.push_back('<');
        } else if (entity == "gt") {
          out.push_back('>');
        } else if (entity == "amp") {
          out.push_back('&');
        } else if (entity == "quot") {
          out.push_back('"');
        } else if (entity == "apos") {
          out.push_back('\'');
        } else if (entity.size() > 1 && entity[0] == '#') {
          const bool hex = entity[1] == 'x';
          const std::string_view digits = entity.substr(hex ? 2 : 1);
          if (digits.empty()) return std::nullopt;
          std::uint32_t cp = 0;
          for (char c : digits) {
            int v = -1;
            if (c >= '0' && c <= '9') v = c - '0';
            if (hex && c >= 'a' && c <= 'f') v = c - 'a' + 10;
            if (hex && c >= 'A' && c <= 'F') v = c - 'A' + 10;
            if (v < 0) return std::nullopt;
            cp = cp * (hex ? 16 : 10) + static_cast<std::uint32_t>(v);
            if (cp > 0x10FFFF) return std::nullopt;
          }
          if (cp == 0 || (cp >= 0xD800 && cp <= 0xDFFF)) return std::nullopt;
          appendUtf8(out, cp);
        } else {
          return std::nullopt;
        }
        i_ = end + 1;
      } else {
        out.push_back(s_[i_++]);
      }
    }
    return std::nullopt;
  }

  std::optional<Node> readValue(int depth) {
    if (depth > kMaxDepth) return std::nullopt;
    std::string name;
    bool empty = false;
    if (!openTag(&name, &empty)) return std::nullopt;
    Node node;
    if (name == "dict") {
      node.kind = Node::Kind::Dict;
      if (empty) return node;
      for (;;) {
        skipMisc();
        if (startsWith("</")) break;
        std::string keyName;
        bool keyEmpty = false;
        if (!openTag(&keyName, &keyEmpty) || keyName != "key") return std::nullopt;
        std::string key;
        if (!keyEmpty) {
          std::optional<std::string> text = readText();
          if (!text || !closeTag("key")) return std::nullopt;
          key = std::move(*text);
        }
        skipMisc();
        std::optional<Node> value = readValue(depth + 1);
        if (!value) return std::nullopt;
        node.members.push_back({std::move(key), std::move(*value)});
      }
    } else if (name == "array") {
      node.kind = Node::Kind::Array;
      if (empty) return node;
      for (;;) {
        skipMisc();
        if (startsWith("</")) break;
        std::optional<Node> value = readValue(depth + 1);
        if (!value) return std::nullopt;
        node.items.push_back(std::move(*value));
      }
    } else {
      node.kind = name == "string" ? Node::Kind::String : Node::Kind::Other;
      if (empty) return node;
      std::optional<std::string> text = readText();
      if (!text) return std::nullopt;
      node.text = std::move(*text);
    }
    if (!closeTag(name)) return std::nullopt;
    return node;
  }

  std::string_view s_;
  std::size_t i_ = 0;
};

}  // namespace

std::optional<StringDictionary> plistStringDictionary(std::string_view xml, std::string_view key) {
  const std::optional<Node> root = PlistReader(xml).readDocument();
  if (!root || root->kind != Node::Kind::Dict) return std::nullopt;
  for (const auto& [name, value] : root->members) {
    if (name != key || value.kind != Node::Kind::Dict) continue;
    StringDictionary out;
    for (const auto& [member, entry] : value.members) {
      if (entry.kind == Node::Kind::String) out.insert_or_assign(member, entry.text);
    }
    return out;
  }
  return std::nullopt;
}

std::optional<StringDictionary> loadServiceCategories() {
  const std::optional<std::string> path =
      transport::KVISOUtils::pathForResource(kServicesResourceName, kServicesResourceType);
  if (!path) return std::nullopt;
  const std::optional<std::string> xml = platform::readWholeFile(*path);
  if (!xml) return std::nullopt;
  return plistStringDictionary(*xml, kServiceCategoryKey);
}

}  // namespace veltrix::registry
