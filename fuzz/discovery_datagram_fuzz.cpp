// A discover datagram (UDP 8421) as the discover manager reads it: UTF-8
// text, a JSON object, the packet's time and signature and their check.
// A packet that passes the check still passes after its own wire text is
// read back.
#include <cstddef>
#include <cstdint>
#include <optional>
#include <string>

#include "fuzz_support.h"
#include "veltrix/registry/broadcast_bean.h"
#include "veltrix/registry/discovery_json.h"

using veltrix::platform::Json;
using namespace veltrix::registry;

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
  veltrix::fuzz::silenceLog();
  const std::string_view text = veltrix::fuzz::asText(data, size);
  // The receiver hands on only UTF-8 text.
  if (!veltrix::fuzz::isUtf8(text)) return 0;
  const std::optional<Json> packet = dictionaryFromJSONString(std::string(text));
  if (!packet) return 0;
  VELTRIX_FUZZ_CHECK(packet->is_object());

  (void)lenientText(*packet, "time");
  (void)jsonFlag(*packet, "isP2p");
  const Json shallow = copyToDepth(*packet, 2);
  VELTRIX_FUZZ_CHECK(shallow.is_object() && shallow.size() == packet->size());
  std::string error;
  const std::optional<std::string> wire = discoveryJsonText(*packet, &error);
  if (wire) VELTRIX_FUZZ_CHECK(dictionaryFromJSONString(*wire).has_value());

  const std::optional<BroadcastBean> bean = BroadcastBean::fromPacket(*packet);
  if (!bean) return 0;
  VELTRIX_FUZZ_CHECK(bean->time.has_value());
  if (!bean->checkBean()) return 0;
  const std::optional<std::string> own = bean->toJSONString();
  VELTRIX_FUZZ_CHECK(own.has_value());
  const std::optional<Json> again = dictionaryFromJSONString(*own);
  VELTRIX_FUZZ_CHECK(again.has_value());
  const std::optional<BroadcastBean> back = BroadcastBean::fromPacket(*again);
  VELTRIX_FUZZ_CHECK(back && back->checkBean() && back->time == bean->time);
  return 0;
}
