// Byte and text codecs of KVISOUtils.
#include <fmt/format.h>

#include <climits>
#include <limits>

#include "veltrix/transport/ebcdic_tables.h"
#include "veltrix/transport/kv_iso_utils.h"
#include "veltrix/transport/text_utf.h"

namespace veltrix::transport {
namespace {

// Value of a BCD digit: "0".."9", and ":".."?" for 10..15 (track-data
// separators such as "=" rely on it). -1 for anything else.
int decimalNibble(char c) {
  if (c >= '0' && c <= '?') return c - '0';
  return -1;
}

int hexNibble(char c) {
  if (c >= '0' && c <= '9') return c - '0';
  if (c >= 'a' && c <= 'f') return c - 'a' + 10;
  if (c >= 'A' && c <= 'F') return c - 'A' + 10;
  return -1;
}

// Packs `text` behind `offset` zero bytes; the spare nibble of an odd text
// takes the matching nibble of `fill`.
std::optional<Bytes> pack(std::string_view text, bool padLeft, std::size_t offset,
                          std::uint8_t fill, int (*nibble)(char)) {
  const std::size_t n = text.size();
  Bytes out(offset + (n + 1) / 2, 0);
  const std::size_t start = (n % 2 == 1 && padLeft) ? 1 : 0;
  for (std::size_t i = start; i < n + start; ++i) {
    const int v = nibble(text[i - start]);
    if (v < 0) return std::nullopt;
    std::uint8_t& b = out[offset + i / 2];
    b = static_cast<std::uint8_t>(b | (i % 2 == 0 ? v << 4 : v));
  }
  if (n % 2 == 1) {
    if (padLeft) {
      out[offset] = static_cast<std::uint8_t>(out[offset] | (fill & 0xF0));
    } else {
      out.back() = static_cast<std::uint8_t>(out.back() | (fill & 0x0F));
    }
  }
  return out;
}

bool rangeFits(std::size_t size, std::uint64_t offset, std::uint64_t length) {
  return offset <= size && length <= size - offset;
}

bool isPadBlank(char c) { return c == ' ' || c == '\t'; }

std::string_view trimBlanksAndTabs(std::string_view text) {
  while (!text.empty() && isPadBlank(text.front())) text.remove_prefix(1);
  while (!text.empty() && isPadBlank(text.back())) text.remove_suffix(1);
  return text;
}

// One pad character as text (a byte above 0x7F taken as ISO-8859-1).
std::string charText(char ch) {
  const auto b = static_cast<std::uint8_t>(ch);
  return latin1ToUtf8(ByteView(&b, 1));
}

std::string repeated(char ch, std::size_t count) {
  const std::string one = charText(ch);
  std::string out;
  out.reserve(one.size() * count);
  for (std::size_t i = 0; i < count; ++i) out += one;
  return out;
}

std::optional<std::string> pad(std::string_view text, int len, char ch, bool left) {
  const std::string_view trimmed = trimBlanksAndTabs(text);
  const std::size_t have = utf16Length(trimmed);
  if (len < 0 || have > static_cast<std::size_t>(len)) return std::nullopt;
  const std::string fill = repeated(ch, static_cast<std::size_t>(len) - have);
  return left ? fill + std::string(trimmed) : std::string(trimmed) + fill;
}

std::string padRightTo(std::string_view text, int len, char ch) {
  std::string out(text);
  const std::size_t have = utf16Length(text);
  if (len > 0 && have < static_cast<std::size_t>(len)) {
    out.append(static_cast<std::size_t>(len) - have, ch);
  }
  return out;
}

}  // namespace

// ---- BCD ------------------------------------------------------------------

std::optional<Bytes> KVISOUtils::str2bcd(std::string_view digits, bool padLeft) {
  return pack(digits, padLeft, 0, 0, decimalNibble);
}

std::optional<Bytes> KVISOUtils::str2bcdWithOffset(std::string_view digits, bool padLeft,
                                                   int offset) {
  if (offset < 0) return std::nullopt;
  return pack(digits, padLeft, static_cast<std::size_t>(offset), 0, decimalNibble);
}

std::optional<Bytes> KVISOUtils::str2bcdWithFill(std::string_view digits, bool padLeft,
                                                 std::uint8_t fill) {
  return pack(digits, padLeft, 0, fill, decimalNibble);
}

std::optional<Bytes> KVISOUtils::str2hbcd(std::string_view digits, bool padLeft) {
  return pack(digits, padLeft, 0, 0, hexNibble);
}

std::optional<Bytes> KVISOUtils::str2hbcdWithOffset(std::string_view digits, bool padLeft,
                                                    int offset) {
  if (offset < 0) return std::nullopt;
  return pack(digits, padLeft, static_cast<std::size_t>(offset), 0, hexNibble);
}

std::optional<std::string> KVISOUtils::bcd2str(ByteView data, std::uint64_t offset,
                                               std::uint64_t len, bool padLeft) {
  if (len == 0) return offset <= data.size() ? std::optional<std::string>("") : std::nullopt;
  const std::uint64_t start = (len % 2 == 1 && padLeft) ? 1 : 0;
  // Bytes read: offset .. offset + (len + start - 1) / 2.
  const std::uint64_t bytesNeeded = (len + start - 1) / 2 + 1;
  if (!rangeFits(data.size(), offset, bytesNeeded)) return std::nullopt;
  static constexpr char kDigits[] = "0123456789ABCDEF";
  std::string out;
  out.reserve(len);
  for (std::uint64_t i = start; i < len + start; ++i) {
    const std::uint8_t b = data[offset + i / 2];
    out.push_back(kDigits[i % 2 == 0 ? b >> 4 : b & 0x0F]);
  }
  return out;
}

int KVISOUtils::bcdToInt(ByteView data, int offset, int len, bool padLeft) {
  if (offset < 0 || len < 0) return -1;
  const std::optional<std::string> text =
      bcd2str(data, static_cast<std::uint64_t>(offset), static_cast<std::uint64_t>(len), padLeft);
  if (!text) return -1;
  std::int64_t value = 0;
  for (const char c : *text) {
    if (c < '0' || c > '9') break;
    value = value * 10 + (c - '0');
    if (value > INT_MAX) return INT_MAX;
  }
  return static_cast<int>(value);
}

std::optional<Bytes> KVISOUtils::intToBCD(int value, int maxLen, bool padLeft) {
  if (value < 0) return std::nullopt;
  const std::string decimal = std::to_string(value);
  const std::optional<std::string> padded =
      padLeft ? padleft(decimal, maxLen, '0') : padright(decimal, maxLen, '0');
  if (!padded) return std::nullopt;
  return hexStr2Data(*padded);
}

// ---- Integers and bytes -----------------------------------------------------

std::optional<Bytes> KVISOUtils::packIntToBytes(int value, int len, bool isBigEndian) {
  if (len < 0 || len > 4) return std::nullopt;
  const auto u = static_cast<std::uint32_t>(value);
  const auto n = static_cast<std::size_t>(len);
  Bytes out(n, 0);
  for (std::size_t i = 0; i < n; ++i) {
    out[isBigEndian ? n - 1 - i : i] = static_cast<std::uint8_t>(u >> (8 * i));
  }
  return out;
}

std::optional<Bytes> KVISOUtils::packIntToBytes(int value, bool isBigEndian) {
  if (value < 0) return std::nullopt;
  const int len = value <= 0xFF ? 1 : value <= 0xFFFF ? 2 : value <= 0xFFFFFF ? 3 : 4;
  return packIntToBytes(value, len, isBigEndian);
}

int KVISOUtils::unPackIntFromBytes(ByteView data, int offset, int len, bool isBigEndian) {
  if (len < 0 || len > 4 || offset < 0) return -1;
  const auto n = static_cast<std::size_t>(len);
  if (!rangeFits(data.size(), static_cast<std::uint64_t>(offset), n)) return -1;
  const ByteView bytes = data.subspan(static_cast<std::size_t>(offset), n);
  std::uint32_t value = 0;
  for (std::size_t i = 0; i < n; ++i) {
    value |= static_cast<std::uint32_t>(bytes[isBigEndian ? n - 1 - i : i]) << (8 * i);
  }
  return static_cast<int>(value);
}

bool KVISOUtils::isBitSet(std::uint8_t value, int bitPos) {
  if (bitPos < 1 || bitPos > 8) {
    throw IllegalArgumentException(
        fmt::format("parameter 'bitPos' must be between 1 and 8. bitPos={}", bitPos));
  }
  return ((value >> (bitPos - 1)) & 1) != 0;
}

// ---- Hexadecimal text ---------------------------------------------------------

std::uint8_t KVISOUtils::hexStr2byte(char c) {
  const int v = hexNibble(c);
  return v < 0 ? 255 : static_cast<std::uint8_t>(v);
}

std::optional<Bytes> KVISOUtils::hexStr2Data(std::string_view hex) {
  const bool odd = hex.size() % 2 == 1;
  Bytes out;
  out.reserve((hex.size() + 1) / 2);
  int high = odd ? 0 : -1;
  for (const char c : hex) {
    const int v = hexNibble(c);
    if (v < 0) return std::nullopt;
    if (high < 0) {
      high = v;
    } else {
      out.push_back(static_cast<std::uint8_t>(high << 4 | v));
      high = -1;
    }
  }
  return out;
}

std::string KVISOUtils::hexStringWithByte(std::uint8_t byte) { return fmt::format("{:02X}", byte); }

std::string KVISOUtils::hexStringWithBytes(ByteView bytes, std::uint64_t offset,
                                           std::uint64_t length) {
  if (!rangeFits(bytes.size(), offset, length)) return "";
  static constexpr char kDigits[] = "0123456789ABCDEF";
  std::string out;
  out.reserve(length * 2);
  for (const std::uint8_t b : bytes.subspan(offset, length)) {
    out.push_back(kDigits[b >> 4]);
    out.push_back(kDigits[b & 0x0F]);
  }
  return out;
}

std::string KVISOUtils::hexStringWithBytes(ByteView bytes, std::uint64_t length) {
  return hexStringWithBytes(bytes, 0, length);
}

std::string KVISOUtils::hexStringWithData(ByteView data) {
  return hexStringWithBytes(data, 0, data.size());
}

std::string KVISOUtils::integer2UnsignedString(int value, int shift) {
  if (shift < 1 || shift > 5) return "";
  static constexpr char kDigits[] = "0123456789abcdefghijklmnopqrstuvwxyz";
  auto u = static_cast<std::uint32_t>(value);
  const std::uint32_t mask = (1u << shift) - 1;
  std::string out;
  do {
    out.insert(out.begin(), kDigits[u & mask]);
    u >>= shift;
  } while (u != 0);
  return out;
}

std::string KVISOUtils::integerToHexString(int value) { return integer2UnsignedString(value, 4); }

std::uint64_t KVISOUtils::intValueWithHexString(std::string_view text) {
  std::size_t i = 0;
  while (i < text.size() && (text[i] == ' ' || (text[i] >= '\t' && text[i] <= '\r'))) ++i;
  if (i + 2 < text.size() && text[i] == '0' && (text[i + 1] == 'x' || text[i + 1] == 'X') &&
      hexNibble(text[i + 2]) >= 0) {
    i += 2;
  }
  std::uint64_t value = 0;
  for (; i < text.size(); ++i) {
    const int v = hexNibble(text[i]);
    if (v < 0) break;
    value = value * 16 + static_cast<std::uint64_t>(v);
    if (value > 0xFFFFFFFFull) value = 0xFFFFFFFFull;
  }
  return value;
}

std::optional<std::string> KVISOUtils::getHexByDecimal(std::int64_t value) {
  if (value < 0) return std::nullopt;
  static constexpr char kDigits[] = "0123456789ABCDEF";
  std::string out;
  do {
    out.insert(out.begin(), kDigits[value % 16]);
    value /= 16;
  } while (value != 0 && out.size() < 9);
  return out;
}

// ---- Padding ----------------------------------------------------------------------

std::optional<std::string> KVISOUtils::padleft(std::string_view text, int len, char ch) {
  return pad(text, len, ch, true);
}

std::optional<std::string> KVISOUtils::padright(std::string_view text, int len, char ch) {
  return pad(text, len, ch, false);
}

std::optional<std::string> KVISOUtils::zeropadWithString(std::string_view text, int length) {
  return padleft(text, length, '0');
}

std::optional<std::string> KVISOUtils::zeropadWithLong(std::int64_t value, int length) {
  if (value < 0 || length < 0) return std::nullopt;
  // 10^19 does not fit: from 19 digits on, every value is its own remainder.
  std::int64_t remainder = value;
  if (length < 19) {
    std::int64_t modulus = 1;
    for (int i = 0; i < length; ++i) modulus *= 10;
    remainder = value % modulus;
  }
  // A remainder of 0 prints no digit at all; padding supplies the zeros.
  return padleft(remainder == 0 ? "" : std::to_string(remainder), length, '0');
}

std::string KVISOUtils::strpadWithString(std::string_view text, int lenth) {
  return padRightTo(text, lenth, ' ');
}

std::string KVISOUtils::zeropadRightWithString(std::string_view text, int lenth) {
  return padRightTo(text, lenth, '0');
}

std::string KVISOUtils::unpadStringLeft(std::string_view text, char ch) {
  // A byte above 0x7F is never a whole character of a UTF-8 text.
  if (text.empty() || static_cast<std::uint8_t>(ch) > 0x7F) return std::string(text);
  const std::size_t first = text.find_first_not_of(ch);
  if (first == std::string_view::npos) return std::string(1, ch);
  return std::string(text.substr(first));
}

std::string KVISOUtils::unpadStringRight(std::string_view text, char ch) {
  if (text.empty() || static_cast<std::uint8_t>(ch) > 0x7F) return std::string(text);
  const std::size_t last = text.find_last_not_of(ch);
  if (last == std::string_view::npos) return std::string(1, ch);
  return std::string(text.substr(0, last + 1));
}

Bytes KVISOUtils::padLeft(ByteView data, int len, std::uint8_t padding) {
  Bytes out;
  if (len > 0 && data.size() < static_cast<std::size_t>(len)) {
    out.assign(static_cast<std::size_t>(len) - data.size(), padding);
  }
  out.insert(out.end(), data.begin(), data.end());
  return out;
}

Bytes KVISOUtils::padRight(ByteView data, int len, std::uint8_t padding) {
  Bytes out(data.begin(), data.end());
  if (len > 0 && data.size() < static_cast<std::size_t>(len)) {
    out.resize(static_cast<std::size_t>(len), padding);
  }
  return out;
}

std::optional<Bytes> KVISOUtils::unpadLeft(ByteView data, std::uint8_t padding) {
  std::size_t i = 0;
  while (i < data.size() && data[i] == padding) ++i;
  if (i == data.size()) return std::nullopt;
  return Bytes(data.begin() + static_cast<std::ptrdiff_t>(i), data.end());
}

std::optional<Bytes> KVISOUtils::unpadRight(ByteView data, std::uint8_t padding) {
  std::size_t n = data.size();
  while (n > 0 && data[n - 1] == padding) --n;
  if (n == 0) return std::nullopt;
  return Bytes(data.begin(), data.begin() + static_cast<std::ptrdiff_t>(n));
}

std::string KVISOUtils::trim(std::string_view text) {
  std::string out;
  out.reserve(text.size());
  for (const char c : text) {
    if (c != ' ') out.push_back(c);
  }
  return out;
}

// ---- EBCDIC -------------------------------------------------------------------------

const std::array<std::uint8_t, 256>& KVISOUtils::ebcdicToAsciiTable() { return kEbcdicToAscii; }

const std::array<std::uint8_t, 256>& KVISOUtils::asciiToEbcdicTable() { return kAsciiToEbcdic; }

std::optional<Bytes> KVISOUtils::ebcdicToAsciiBytes(ByteView data, std::uint64_t offset,
                                                    std::uint64_t length) {
  if (!rangeFits(data.size(), offset, length)) return std::nullopt;
  Bytes out;
  out.reserve(length);
  for (const std::uint8_t b : data.subspan(offset, length)) out.push_back(kEbcdicToAscii[b]);
  return out;
}

Bytes KVISOUtils::ebcdicToAsciiBytes(ByteView data) {
  return *ebcdicToAsciiBytes(data, 0, data.size());
}

std::optional<std::string> KVISOUtils::ebcdicToAscii(ByteView data, std::uint64_t offset,
                                                     std::uint64_t length) {
  const std::optional<Bytes> latin1 = ebcdicToAsciiBytes(data, offset, length);
  if (!latin1) return std::nullopt;
  return latin1ToUtf8(*latin1);
}

std::string KVISOUtils::ebcdicToAscii(ByteView data) {
  return *ebcdicToAscii(data, 0, data.size());
}

Bytes KVISOUtils::asciiDataToEbcdic(ByteView data) {
  Bytes out;
  out.reserve(data.size());
  for (const std::uint8_t b : data) out.push_back(kAsciiToEbcdic[b]);
  return out;
}

Bytes KVISOUtils::asciiToEbcdic(std::string_view text) {
  for (const char c : text) {
    if (static_cast<std::uint8_t>(c) > 0x7F) return {};
  }
  return asciiDataToEbcdic(::veltrix::platform::asBytes(text));
}

// ---- Byte buffers -----------------------------------------------------------------------

Bytes fillWithByte(std::uint8_t byte, std::uint64_t count) {
  try {
    if (count > std::numeric_limits<std::size_t>::max()) return {};
    return Bytes(static_cast<std::size_t>(count), byte);
  } catch (const std::exception&) {
    return {};
  }
}

}  // namespace veltrix::transport
