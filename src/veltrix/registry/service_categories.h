// The service-category resource: "tavio-services.plist" in the library's
// resource directory, an XML property list whose top-level dictionary holds
// under "ServiceCategroy" a dictionary from service type (the service
// names of the service name table) to category ("payment", "print", ...).
//
// The reader understands the XML property list format as far as the
// resource needs: nested dict, array and scalar elements, entities, CDATA,
// comments, the XML declaration and the DOCTYPE. Stateless; any thread.
#pragma once

#include <map>
#include <optional>
#include <string>
#include <string_view>

namespace veltrix::registry {

inline constexpr std::string_view kServicesResourceName = "tavio-services";
inline constexpr std::string_view kServicesResourceType = "plist";
inline constexpr std::string_view kServiceCategoryKey = "ServiceCategroy";
// The category of a service type the resource does not list.
inline constexpr std::string_view kUnknownServiceCategory = "unknown";

using StringDictionary = std::map<std::string, std::string, std::less<>>;

// The string members of the dictionary under `key` in the top-level
// dictionary of the property list `xml` (members of other types are
// skipped); nullopt when the text is not such a property list or has no
// dictionary under `key`.
std::optional<StringDictionary> plistStringDictionary(std::string_view xml, std::string_view key);

// The "ServiceCategroy" dictionary of the resource; nullopt when the file is
// missing or unreadable.
std::optional<StringDictionary> loadServiceCategories();

}  // namespace veltrix::registry
