// The byte and text codecs that take offsets and lengths from data: BCD,
// integers, hexadecimal text, padding, EBCDIC, Base64 and the address and
// JSON checks, each with a round trip where one exists. The first bytes
// give the offsets and lengths, the rest is the data.
#include <cstddef>
#include <cstdint>
#include <optional>
#include <string>

#include "fuzz_support.h"
#include "veltrix/transport/kv_iso_utils.h"

using veltrix::platform::Bytes;
using veltrix::platform::ByteView;
using veltrix::transport::KVISOUtils;

namespace {

// Upper-case form of a BCD digit as bcd2str() gives it back.
char bcdDigit(char c) {
  const int v = c >= '0' && c <= '9'   ? c - '0'
                : c >= 'a' && c <= 'f' ? c - 'a' + 10
                : c >= 'A' && c <= 'F' ? c - 'A' + 10
                                       : c - '0';
  return "0123456789ABCDEF"[v & 0x0F];
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
  veltrix::fuzz::silenceLog();
  if (size < 6) return 0;
  // Offsets and lengths may point anywhere, also far beyond the data.
  const std::uint64_t offset = data[0] | (data[1] << 8);
  const std::uint64_t length = data[2] | (data[3] << 8);
  const bool flag = (data[4] & 1) != 0;
  const int small = data[5] % 64;
  const ByteView bytes(data + 6, size - 6);
  const std::string_view text = veltrix::fuzz::asText(data + 6, size - 6);

  // Readers with data-given ranges.
  const std::optional<std::string> bcd = KVISOUtils::bcd2str(bytes, offset, length, flag);
  if (bcd) VELTRIX_FUZZ_CHECK(bcd->size() == length);
  (void)KVISOUtils::bcd2str(bytes, offset, UINT64_MAX - offset % 3, flag);
  (void)KVISOUtils::bcdToInt(bytes, static_cast<int>(offset) - 3, static_cast<int>(length), flag);
  (void)KVISOUtils::unPackIntFromBytes(bytes, static_cast<int>(offset), small % 6, flag);
  const std::string hex = KVISOUtils::hexStringWithBytes(bytes, offset, length);
  VELTRIX_FUZZ_CHECK(hex.empty() || hex.size() == 2 * length);
  const std::optional<Bytes> ebcdic = KVISOUtils::ebcdicToAsciiBytes(bytes, offset, length);
  if (ebcdic) VELTRIX_FUZZ_CHECK(ebcdic->size() == length);
  (void)KVISOUtils::ebcdicToAscii(bytes, offset, length);
  VELTRIX_FUZZ_CHECK(veltrix::fuzz::isUtf8(KVISOUtils::ebcdicToAscii(bytes)));

  // Round trips.
  const std::optional<Bytes> fromHex =
      KVISOUtils::hexStr2Data(KVISOUtils::hexStringWithData(bytes));
  VELTRIX_FUZZ_CHECK(fromHex && *fromHex == Bytes(bytes.begin(), bytes.end()));
  for (const bool hexDigits : {false, true}) {
    const std::optional<Bytes> packed =
        hexDigits ? KVISOUtils::str2hbcd(text, flag) : KVISOUtils::str2bcd(text, flag);
    if (!packed) continue;
    VELTRIX_FUZZ_CHECK(packed->size() == (text.size() + 1) / 2);
    const std::optional<std::string> back = KVISOUtils::bcd2str(*packed, 0, text.size(), flag);
    VELTRIX_FUZZ_CHECK(back && back->size() == text.size());
    for (std::size_t i = 0; i < text.size(); ++i)
      VELTRIX_FUZZ_CHECK((*back)[i] == bcdDigit(text[i]));
  }
  (void)KVISOUtils::str2bcdWithOffset(text, flag, small);
  (void)KVISOUtils::str2bcdWithFill(text, flag, data[4]);
  const int value = static_cast<int>(data[0] | data[1] << 8 | data[2] << 16 | data[3] << 24);
  for (int len = 0; len <= 4; ++len) {
    const std::optional<Bytes> packed = KVISOUtils::packIntToBytes(value, len, flag);
    VELTRIX_FUZZ_CHECK(packed && packed->size() == static_cast<std::size_t>(len));
    const auto back =
        static_cast<std::uint32_t>(KVISOUtils::unPackIntFromBytes(*packed, 0, len, flag));
    const std::uint32_t mask = len == 4 ? 0xFFFFFFFFu : (1u << (8 * len)) - 1;
    VELTRIX_FUZZ_CHECK(len == 0 ? back == 0 : back == (static_cast<std::uint32_t>(value) & mask));
  }
  if (value >= 0) {
    // Right-aligned digits read back as the value.
    const std::optional<Bytes> packed = KVISOUtils::intToBCD(value, small % 12, true);
    if (packed) VELTRIX_FUZZ_CHECK(KVISOUtils::bcdToInt(*packed, 0, small % 12, true) == value);
  }
  VELTRIX_FUZZ_CHECK(KVISOUtils::intValueWithHexString(KVISOUtils::integerToHexString(value)) ==
                     static_cast<std::uint32_t>(value));
  (void)KVISOUtils::intValueWithHexString(text);
  (void)KVISOUtils::integer2UnsignedString(value, small % 7);

  // EBCDIC: ASCII text goes there and back unchanged.
  const Bytes toEbcdic = KVISOUtils::asciiToEbcdic(text);
  if (!toEbcdic.empty()) {
    const Bytes back = KVISOUtils::ebcdicToAsciiBytes(toEbcdic);
    VELTRIX_FUZZ_CHECK(back == Bytes(bytes.begin(), bytes.end()));
  }

  // Padding with data-given lengths (bounded: the lengths are the caller's).
  (void)KVISOUtils::padleft(text, small, static_cast<char>(data[4]));
  (void)KVISOUtils::padright(text, small, '0');
  (void)KVISOUtils::zeropadWithLong(value, small % 25);
  (void)KVISOUtils::unpadStringLeft(text, static_cast<char>(data[4]));
  (void)KVISOUtils::unpadStringRight(text, static_cast<char>(data[4]));
  (void)KVISOUtils::unpadLeft(bytes, data[4]);
  (void)KVISOUtils::unpadRight(bytes, data[4]);
  VELTRIX_FUZZ_CHECK(KVISOUtils::padLeft(bytes, small, data[4]).size() >=
                     static_cast<std::size_t>(small));

  // Base64 both ways; UTF-8 text comes back unchanged.
  (void)KVISOUtils::base64ToString(text);
  if (!text.empty() && veltrix::fuzz::isUtf8(text)) {
    const std::optional<std::string> encoded = KVISOUtils::stringToBase64(text);
    VELTRIX_FUZZ_CHECK(encoded && KVISOUtils::base64ToString(*encoded) == text);
  }

  // Checks of received text.
  const bool complete = KVISOUtils::isStringValidCompleteJSON(text);
  const bool valid = KVISOUtils::isStringValidJSON(text);
  (void)complete;
  (void)valid;
  (void)KVISOUtils::isValidIPAndPort(text);
  return 0;
}
