// KVISOUtils: the library's shared utilities. A struct of static functions
// without state: byte and text codecs (BCD, integers, hexadecimal text,
// padding, EBCDIC), device and environment facts (device identifier, Wi-Fi
// address, hardware model), JSON and address checks, Base64, a TCP probe,
// resources, and the Bluetooth LE frame functions.
//
// Every function may run on any thread at once, except that pingHost()
// delivers its completion on the main loop. Absent results are nullopt;
// input that a function cannot use gives its documented empty result and
// never reads or writes out of bounds. Nothing here throws except isBitSet()
// for a bit position outside 1..8.
#pragma once

#include <array>
#include <cstdint>
#include <filesystem>
#include <functional>
#include <optional>
#include <stdexcept>
#include <string>
#include <string_view>

#include "veltrix/platform/bytes.h"

namespace veltrix::platform {
class TaskQueue;
}  // namespace veltrix::platform

namespace veltrix::transport {

using Bytes = ::veltrix::platform::Bytes;
using ByteView = ::veltrix::platform::ByteView;

// The rejection of isBitSet(); what() is the message.
class IllegalArgumentException : public std::invalid_argument {
 public:
  using std::invalid_argument::invalid_argument;
};

// Name of the file in the documents directory that holds the device
// identifier of this installation.
inline constexpr std::string_view kDeviceIdFileName = "device-id";

struct KVISOUtils {
  // ---- BCD -------------------------------------------------------------
  // A text of n digits packs into (n + 1) / 2 bytes, the first digit in the
  // high nibble. With an odd n the spare nibble is the first one when
  // padLeft (number right-aligned), else the last. Digits are "0".."9"
  // (and ":" ";" "<" "=" ">" "?", which give 10..15 as in track data);
  // any other character gives nullopt.
  static std::optional<Bytes> str2bcd(std::string_view digits, bool padLeft);
  // `offset` zero bytes in front of the packed digits; negative: nullopt.
  static std::optional<Bytes> str2bcdWithOffset(std::string_view digits, bool padLeft, int offset);
  // The spare nibble of an odd-length text takes the matching nibble of
  // `fill` (high nibble when padLeft, else low); the digits are untouched.
  static std::optional<Bytes> str2bcdWithFill(std::string_view digits, bool padLeft,
                                              std::uint8_t fill);
  // As str2bcd with hexadecimal digits, either case.
  static std::optional<Bytes> str2hbcd(std::string_view digits, bool padLeft);
  static std::optional<Bytes> str2hbcdWithOffset(std::string_view digits, bool padLeft, int offset);
  // `len` nibbles from the byte at `offset`, each as one upper-case hex
  // digit; nullopt when they lie beyond the data.
  static std::optional<std::string> bcd2str(ByteView data, std::uint64_t offset, std::uint64_t len,
                                            bool padLeft);
  // The decimal value of the leading digits of bcd2str() (0 when none,
  // saturating at INT32_MAX); -1 when the range lies beyond the data or
  // offset or len is negative.
  static int bcdToInt(ByteView data, int offset, int len, bool padLeft);
  // The value in decimal, padded with "0" to maxLen digits and packed;
  // nullopt for a negative value or one with more than maxLen digits.
  static std::optional<Bytes> intToBCD(int value, int maxLen, bool padLeft);

  // ---- Integers and bytes -----------------------------------------------
  // The low `len` bytes of the value (0 <= len <= 4, else nullopt).
  static std::optional<Bytes> packIntToBytes(int value, int len, bool isBigEndian);
  // The fewest bytes that hold a non-negative value; nullopt when negative.
  static std::optional<Bytes> packIntToBytes(int value, bool isBigEndian);
  // `len` bytes from `offset` as an integer (len 4 may give a negative
  // value); -1 when len is outside 0..4 or the bytes lie beyond the data.
  static int unPackIntFromBytes(ByteView data, int offset, int len, bool isBigEndian);
  // Bit `bitPos` (1 = least significant .. 8). Throws
  // IllegalArgumentException for a position outside 1..8.
  static bool isBitSet(std::uint8_t value, int bitPos);

  // ---- Hexadecimal text ---------------------------------------------------
  // 0..15 for a hex digit of either case, 255 for anything else.
  static std::uint8_t hexStr2byte(char c);
  // Pairs of hex digits to bytes (an odd length gets a leading "0");
  // nullopt when a character is not a hex digit.
  static std::optional<Bytes> hexStr2Data(std::string_view hex);
  static std::string hexStringWithByte(std::uint8_t byte);
  // Upper-case hex of `length` bytes from `offset`; "" when they lie beyond
  // the data.
  static std::string hexStringWithBytes(ByteView bytes, std::uint64_t offset, std::uint64_t length);
  static std::string hexStringWithBytes(ByteView bytes, std::uint64_t length);
  static std::string hexStringWithData(ByteView data);
  // The value as unsigned 32-bit in radix 2^shift, lower-case, no leading
  // zeros; "" for a shift outside 1..5.
  static std::string integer2UnsignedString(int value, int shift);
  static std::string integerToHexString(int value);
  // The hex number at the start of the text (after blanks and line ends,
  // with an optional "0x"), saturating at 0xFFFFFFFF; 0 when there is none.
  static std::uint64_t intValueWithHexString(std::string_view text);
  // Upper-case hex, at most the nine lowest digits; nullopt when negative.
  static std::optional<std::string> getHexByDecimal(std::int64_t value);

  // ---- Padding ------------------------------------------------------------
  // Lengths count UTF-16 units, as the platform did.
  // The text trimmed of blanks and tabs, prefixed (padleft) or followed
  // (padright) by `ch` up to `len`; nullopt when the trimmed text is longer.
  static std::optional<std::string> padleft(std::string_view text, int len, char ch);
  static std::optional<std::string> padright(std::string_view text, int len, char ch);
  static std::optional<std::string> zeropadWithString(std::string_view text, int length);
  // The last `length` decimal digits of the value, zero-padded; nullopt for
  // a negative value or length.
  static std::optional<std::string> zeropadWithLong(std::int64_t value, int length);
  // Blanks (or zeros) appended up to `lenth`; a longer text is not cut.
  static std::string strpadWithString(std::string_view text, int lenth);
  static std::string zeropadRightWithString(std::string_view text, int lenth);
  // The leading (trailing) run of `ch` removed; a text made only of `ch`
  // keeps one.
  static std::string unpadStringLeft(std::string_view text, char ch);
  static std::string unpadStringRight(std::string_view text, char ch);
  // Padding bytes put in front of (after) data shorter than `len`.
  static Bytes padLeft(ByteView data, int len, std::uint8_t padding);
  static Bytes padRight(ByteView data, int len, std::uint8_t padding);
  // The leading (trailing) run of `padding` removed; nullopt when nothing
  // remains.
  static std::optional<Bytes> unpadLeft(ByteView data, std::uint8_t padding);
  static std::optional<Bytes> unpadRight(ByteView data, std::uint8_t padding);
  // Every blank removed, inner ones too.
  static std::string trim(std::string_view text);

  // ---- EBCDIC (IBM-1047 with 0x15 as line feed, to ISO-8859-1) -------------
  // nullopt when the range lies beyond the data.
  static std::optional<Bytes> ebcdicToAsciiBytes(ByteView data, std::uint64_t offset,
                                                 std::uint64_t length);
  static Bytes ebcdicToAsciiBytes(ByteView data);
  // The converted bytes as ISO-8859-1 text, returned as UTF-8.
  static std::optional<std::string> ebcdicToAscii(ByteView data, std::uint64_t offset,
                                                  std::uint64_t length);
  static std::string ebcdicToAscii(ByteView data);
  static Bytes asciiDataToEbcdic(ByteView data);
  // Empty when the text holds any non-ASCII character.
  static Bytes asciiToEbcdic(std::string_view text);
  static const std::array<std::uint8_t, 256>& ebcdicToAsciiTable();
  static const std::array<std::uint8_t, 256>& asciiToEbcdicTable();

  // ---- Device and environment ----------------------------------------------
  // The identifier of this installation: an upper-case UUID made once and
  // kept in <documents>/device-id. If it cannot be stored, the same value
  // serves for the life of the process.
  static std::optional<std::string> getUUID();
  // The last IPv4 address of the Wi-Fi interface (platform/net_interfaces.h
  // says which interface that is); "error" when there is none.
  static std::string getWiFiIPAddress();
  // The machine's hardware name ("x86_64"); "Unknown" when unreadable.
  static std::string platform();
  // The marketing name of platform() from the model table.
  static std::string platformName();
  // The model table: the name for `identifier`, or the identifier itself.
  static std::string platformNameFor(std::string_view identifier);
  // Number of entries of the model table.
  static std::size_t platformNameTableSize();

  // True when the text, trimmed of white space, begins with "{" or "[",
  // ends with "}" or "]" and is one JSON object or array.
  static bool isStringValidCompleteJSON(std::string_view text);
  // True when the text is one JSON object or array (surrounding white space
  // allowed, nothing else).
  static bool isStringValidJSON(std::string_view text);
  // True for "a.b.c.d:port", each part 0..255, port 1..65535.
  static bool isValidIPAndPort(std::string_view text);
  // Base64 decoded (characters outside the alphabet are skipped, padding is
  // optional) and read as UTF-8; nullopt for empty input, nothing to
  // decode, a dangling character, or bytes that are not UTF-8.
  static std::optional<std::string> base64ToString(std::string_view text);
  // The text's bytes in Base64 on one line with "=" padding; nullopt when
  // empty.
  static std::optional<std::string> stringToBase64(std::string_view text);

  // Tries a TCP connection to `host` (a dotted IPv4 address; a host name
  // gives false) on the low 16 bits of `port`, bounded by `timeout` seconds
  // (0 or less: only what is known at once). Returns at once; the probe
  // runs on the global queue and `completion` runs exactly once on the main
  // loop.
  static void pingHost(std::string host, std::int64_t port, double timeout,
                       std::function<void(bool reachable)> completion);
  // The same, with the probe on `queue`.
  static void pingHost(platform::TaskQueue& queue, std::string host, std::int64_t port,
                       double timeout, std::function<void(bool reachable)> completion);
  // The probe itself, on the calling thread, which it blocks for at most
  // `timeout` seconds: true when the connection was made.
  static bool pingHostNow(const std::string& host, std::int64_t port, double timeout);

  // The library's resource directory (platform::resourceDir()).
  static std::filesystem::path sdkBundle();
  // The path of resource `name`.`type` (just `name` when the type is
  // empty) in sdkBundle(); nullopt when absent or when the name leaves the
  // directory.
  static std::optional<std::string> pathForResource(std::string_view name, std::string_view type);

  // ---- Bluetooth LE frames ----------------------------------------------------
  // 0x02, the payload length as six BCD digits in three bytes, the payload,
  // 0x03, and the XOR of everything after the 0x02. nullopt for a payload
  // longer than 999999 bytes, whose length the field cannot hold.
  static std::optional<Bytes> createCommonForBLE(ByteView payload);
  // XOR of all bytes (0 for none).
  static std::uint8_t calculateLRCForData(ByteView data);
  // The same as a one-byte buffer.
  static Bytes caculateLRC(ByteView data);
  // 0x02 first, 0x03 before the last byte, and the last byte the XOR of the
  // bytes between. Does not read the length field.
  static bool isResponseComplete(ByteView data);
  // As isResponseComplete(), and the length field plus 6 is the data's size.
  static bool isValidBLEPacket(ByteView data);
  // A 16-bit UUID as four lower-case hex digits, a 32-bit one as eight, a
  // 128-bit one as 8-4-4-4-12 lower-case groups; "" for other sizes.
  static std::string CBUUIDToString(ByteView uuid);
};

// `count` bytes each equal to `byte` (empty when that much memory cannot be
// had).
Bytes fillWithByte(std::uint8_t byte, std::uint64_t count);

}  // namespace veltrix::transport
