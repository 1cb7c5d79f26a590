#include "veltrix/transport/xml_request_serializer.h"

#include <gtest/gtest.h>

namespace veltrix::transport {
namespace {

using platform::Json;

TEST(XMLRequestSerializerTest, WritesElementsInOrderAndEscapesValues) {
  EXPECT_EQ(XMLRequestSerializer::xmlStringFromDictionary(Json{{"a", 1}}),
            R"(<?xml version="1.0" encoding="UTF-8"?><root><a>1</a></root>)");
  Json nested = Json::object();
  nested["z"] = "<b>\"Tom\" & 'Jerry'</b>";
  nested["inner"] = Json{{"flag", true}, {"none", nullptr}};
  EXPECT_EQ(XMLRequestSerializer::xmlStringFromDictionary(nested),
            R"(<?xml version="1.0" encoding="UTF-8"?><root>)"
            R"(<z>&lt;b&gt;&quot;Tom&quot; &amp; &apos;Jerry&apos;&lt;/b&gt;</z>)"
            R"(<inner><flag>1</flag><none></none></inner></root>)");
}

TEST(XMLRequestSerializerTest, RefusesKeysThatAreNotXmlNames) {
  for (const char* key : {"", "1a", "a b", "a><x", "a/", "x:y"}) {
    EXPECT_EQ(XMLRequestSerializer::xmlStringFromDictionary(Json{{key, "v"}}), std::nullopt) << key;
  }
  EXPECT_EQ(XMLRequestSerializer::xmlStringFromDictionary(Json::array()), std::nullopt);

  platform::HttpRequest request;
  request.body = "kept";
  EXPECT_FALSE(XMLRequestSerializer::requestBySerializingRequest(request, Json{{"a b", 1}}));
  EXPECT_EQ(request.body, "kept");
  EXPECT_TRUE(XMLRequestSerializer::requestBySerializingRequest(request, Json("<raw/>")));
  EXPECT_EQ(request.body, "<raw/>");
  EXPECT_EQ(platform::findHeader(request.headers, "content-type"), "application/xml");
}

}  // namespace
}  // namespace veltrix::transport
