// A request serializer that writes a dictionary as a small XML document.
// Nothing in the library uses it; it is kept for hosts that post XML.
//
// Stateless (a struct of static functions); thread-safe.
#pragma once

#include <optional>
#include <string>

#include "veltrix/platform/http_client.h"
#include "veltrix/platform/json.h"

namespace veltrix::transport {

struct XMLRequestSerializer {
  // The XML declaration, then "<root>", one element per key in the
  // dictionary's order, and "</root>", with no blanks or line ends. Values
  // are escaped (& < > " '); a nested dictionary becomes nested elements; a
  // number or boolean is written as its decimal text, null as an empty
  // element, an array as its JSON text. nullopt when `dictionary` is not an
  // object or a key is not an XML name, so no text can inject markup.
  static std::optional<std::string> xmlStringFromDictionary(const platform::Json& dictionary);

  // Sets "Content-Type: application/xml" and the body: a string as it is,
  // a dictionary as its XML. Other parameters leave the body unchanged.
  // False (request unchanged) when a dictionary cannot be written.
  static bool requestBySerializingRequest(platform::HttpRequest& request,
                                          const platform::Json& parameters);
};

}  // namespace veltrix::transport
