#include "veltrix/transport/xml_request_serializer.h"

namespace veltrix::transport {
namespace {

bool isNameStart(unsigned char c) {
  return (c >= 'A' && c <= 'Z') || (c >= 'a' && c <= 'z') || c == '_' || c >= 0x80;
}

bool isNameChar(unsigned char c) {
  return isNameStart(c) || (c >= '0' && c <= '9') || c == '-' || c == '.';
}

bool isXmlName(const std::string& name) {
  if (name.empty() || !isNameStart(static_cast<unsigned char>(name[0]))) return false;
  for (char c : name) {
    if (!isNameChar(static_cast<unsigned char>(c))) return false;
  }
  return true;
}

void appendEscaped(std::string& out, const std::string& text) {
  for (char c : text) {
    switch (c) {
      case '&':
        out += "&amp;";
        break;
      case '<':
        out += "&lt;";
        break;
      case '>':
        out += "&gt;";
        break;
      case '"':
        out += "&quot;";
        break;
      case '\'':
        out += "&apos;";
        break;
      default:
        out.push_back(c);
    }
  }
}

bool appendElements(std::string& out, const platform::Json& object) {
  for (const auto& [key, value] : object.items()) {
    if (!isXmlName(key)) return false;
    out += '<' + key + '>';
    if (value.is_object()) {
      if (!appendElements(out, value)) return false;
    } else if (value.is_string()) {
      appendEscaped(out, value.get<std::string>());
    } else if (value.is_number() || value.is_boolean()) {
      out += platform::jsonNumberText(value);
    } else if (value.is_array()) {
      appendEscaped(out, platform::dumpJson(value).value_or(""));
    }
    out += "</" + key + '>';
  }
  return true;
}

}  // namespace

std::optional<std::string> XMLRequestSerializer::xmlStringFromDictionary(
    const platform::Json& dictionary) {
  if (!dictionary.is_object()) return std::nullopt;
  std::string out = R"(<?xml version="1.0" encoding="UTF-8"?><root>)";
  if (!appendElements(out, dictionary)) return std::nullopt;
  out += "</root>";
  return out;
}

bool XMLRequestSerializer::requestBySerializingRequest(platform::HttpRequest& request,
                                                       const platform::Json& parameters) {
  std::optional<std::string> body;
  if (parameters.is_string()) {
    body = parameters.get<std::string>();
  } else if (parameters.is_object()) {
    body = xmlStringFromDictionary(parameters);
    if (!body) return false;
  }
  platform::setHeader(request.headers, "Content-Type", "application/xml");
  if (body) request.body = std::move(*body);
  return true;
}

}  // namespace veltrix::transport
