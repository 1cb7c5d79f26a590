// A terminal's handshake over TCP 8422 as the discover manager reads it:
// pieces through the per-connection scanner, the one parse of the text it
// marks, the handshake record and the terminal record made of it. The
// scanner must decide the same whatever the piece boundaries.
#include <cstddef>
#include <cstdint>
#include <optional>
#include <string>

#include "fuzz_support.h"
#include "veltrix/platform/json.h"
#include "veltrix/registry/handshake_bean.h"
#include "veltrix/registry/json_text_scanner.h"
#include "veltrix/registry/terminal_info.h"

using veltrix::platform::Json;
using namespace veltrix::registry;

namespace {

void takeHandshake(const HandshakeBean& bean, HandshakeType type) {
  (void)bean.checkBean();
  (void)bean.calcSignature();
  const TerminalInfo info = TerminalInfo::initWithHandshakeBean(bean, std::string("uuid"), type);
  (void)info.getServicesList();
  const std::optional<std::string> text = info.toJSONString();
  if (!text) return;
  // The record's text drops blanks, inside values too, and stays JSON.
  VELTRIX_FUZZ_CHECK(veltrix::platform::parseJson(*text).has_value());
  const TerminalInfo back = TerminalInfo::initWithJsonString(*text);
  std::optional<std::string> sn = info.sn;
  if (sn) std::erase(*sn, ' ');
  VELTRIX_FUZZ_CHECK(back.sn == sn);
  VELTRIX_FUZZ_CHECK(back.services.has_value() == info.services.has_value());
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
  veltrix::fuzz::silenceLog();
  const std::string_view text = veltrix::fuzz::asText(data, size);

  JsonTextScanner whole;
  whole.append(text);
  JsonTextScanner pieces;
  for (const std::string_view piece : veltrix::fuzz::cutIntoPieces(text)) pieces.append(piece);
  VELTRIX_FUZZ_CHECK(whole.state() == pieces.state());

  // Over Bluetooth LE the whole text arrives at once.
  takeHandshake(HandshakeBean::initHandshakeBean(text), HandshakeType::Ble);

  if (whole.state() != JsonTextScanner::State::kComplete) return 0;
  VELTRIX_FUZZ_CHECK(whole.begin() == pieces.begin() && whole.end() == pieces.end());
  VELTRIX_FUZZ_CHECK(whole.begin() < whole.end() && whole.end() <= size);
  const std::string_view json = text.substr(whole.begin(), whole.end() - whole.begin());
  VELTRIX_FUZZ_CHECK(json.front() == '{' || json.front() == '[');
  VELTRIX_FUZZ_CHECK(json.back() == '}' || json.back() == ']');
  const std::optional<Json> parsed = veltrix::platform::parseJson(json);
  if (!parsed) return 0;
  takeHandshake(HandshakeBean::fromJson(*parsed), HandshakeType::Lan);
  return 0;
}
