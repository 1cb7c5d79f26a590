#include <gtest/gtest.h>

#include <climits>
#include <set>

#include "veltrix/transport/kv_iso_utils.h"

namespace veltrix::transport {
namespace {

using U = KVISOUtils;

Bytes b(std::initializer_list<int> values) {
  Bytes out;
  for (const int v : values) out.push_back(static_cast<std::uint8_t>(v));
  return out;
}

TEST(Bcd, PacksByTheLayout) {
  struct Case {
    std::string_view text;
    bool padLeft;
    Bytes expected;
  };
  const Case cases[] = {
      {"123", true, b({0x01, 0x23})},
      {"123", false, b({0x12, 0x30})},
      {"1234", true, b({0x12, 0x34})},
      {"1234", false, b({0x12, 0x34})},
      {"7", true, b({0x07})},
      {"7", false, b({0x70})},
      {"", true, {}},
      {"12=4", false, b({0x12, 0xD4})},
  };
  for (const Case& c : cases) {
    EXPECT_EQ(U::str2bcd(c.text, c.padLeft), c.expected) << c.text << " " << c.padLeft;
  }
  EXPECT_EQ(U::str2hbcd("1A", true), b({0x1A}));
  EXPECT_EQ(U::str2hbcd("1a", false), b({0x1A}));
  EXPECT_EQ(U::str2hbcd("abc", true), b({0x0A, 0xBC}));
  // Characters that are no digit of the kind give no result instead of
  // spilling into the neighbouring nibble.
  EXPECT_FALSE(U::str2bcd("1A", true));
  EXPECT_FALSE(U::str2bcd("12 4", true));
  EXPECT_FALSE(U::str2hbcd("1g", true));
}

TEST(Bcd, OffsetPrefixesZeroBytesAndFillOnlyTouchesTheSpareNibble) {
  EXPECT_EQ(U::str2bcdWithOffset("123", true, 2), b({0x00, 0x00, 0x01, 0x23}));
  EXPECT_EQ(U::str2bcdWithOffset("123", false, 0), b({0x12, 0x30}));
  EXPECT_EQ(U::str2hbcdWithOffset("ab", true, 1), b({0x00, 0xAB}));
  EXPECT_FALSE(U::str2bcdWithOffset("1", true, -1));
  EXPECT_EQ(U::str2bcdWithFill("123", true, 0xFF), b({0xF1, 0x23}));
  EXPECT_EQ(U::str2bcdWithFill("123", false, 0xFF), b({0x12, 0x3F}));
  EXPECT_EQ(U::str2bcdWithFill("1234", false, 0xFF), b({0x12, 0x34}));
}

TEST(Bcd, UnpacksAndRefusesRangesBeyondTheData) {
  const Bytes data = b({0x01, 0x23, 0x1F});
  EXPECT_EQ(U::bcd2str(data, 0, 3, true), "123");
  EXPECT_EQ(U::bcd2str(data, 0, 3, false), "012");
  EXPECT_EQ(U::bcd2str(data, 2, 2, false), "1F");
  EXPECT_EQ(U::bcd2str(data, 3, 0, true), "");
  EXPECT_FALSE(U::bcd2str(data, 2, 3, false));  // needs bytes 2 and 3
  EXPECT_FALSE(U::bcd2str(data, 1, 5, true));
  EXPECT_FALSE(U::bcd2str(data, UINT64_MAX, 2, true));
  EXPECT_FALSE(U::bcd2str(data, 0, UINT64_MAX, true));

  EXPECT_EQ(U::bcdToInt(data, 0, 4, false), 123);
  EXPECT_EQ(U::bcdToInt(data, 2, 2, false), 1);  // stops at the nibble F
  EXPECT_EQ(U::bcdToInt(data, 2, 4, false), -1);
  EXPECT_EQ(U::bcdToInt(data, -1, 2, false), -1);
  EXPECT_EQ(U::bcdToInt(data, 0, -2, false), -1);
  EXPECT_EQ(U::bcdToInt(b({0x99, 0x99, 0x99, 0x99, 0x99, 0x99}), 0, 12, false), INT_MAX);
}

TEST(Bcd, IntToBcdPadsToMaxLen) {
  EXPECT_EQ(U::intToBCD(5, 6, true), b({0x00, 0x00, 0x05}));
  EXPECT_EQ(U::intToBCD(5, 6, false), b({0x50, 0x00, 0x00}));
  EXPECT_EQ(U::intToBCD(345, 6, true), b({0x00, 0x03, 0x45}));
  EXPECT_EQ(U::intToBCD(999999, 6, true), b({0x99, 0x99, 0x99}));
  EXPECT_EQ(U::intToBCD(12, 3, true), b({0x00, 0x12}));  // odd maxLen: leading nibble 0
  EXPECT_FALSE(U::intToBCD(1234567, 6, true));
  EXPECT_FALSE(U::intToBCD(-5, 6, true));
  EXPECT_FALSE(U::intToBCD(INT_MIN, 12, true));
}

TEST(IntegerBytes, PackAndUnpack) {
  EXPECT_EQ(U::packIntToBytes(256, true), b({0x01, 0x00}));
  EXPECT_EQ(U::packIntToBytes(256, false), b({0x00, 0x01}));
  EXPECT_EQ(U::packIntToBytes(255, true), b({0xFF}));
  EXPECT_EQ(U::packIntToBytes(0x1000000, true), b({0x01, 0x00, 0x00, 0x00}));
  EXPECT_FALSE(U::packIntToBytes(-1, true));
  EXPECT_FALSE(U::packIntToBytes(1, 5, true));
  EXPECT_FALSE(U::packIntToBytes(1, -1, true));
  EXPECT_EQ(U::packIntToBytes(-1, 2, true), b({0xFF, 0xFF}));
  EXPECT_EQ(U::packIntToBytes(7, 0, true), Bytes{});

  const Bytes data = b({0x01, 0x02, 0x03});
  EXPECT_EQ(U::unPackIntFromBytes(data, 0, 2, true), 258);
  EXPECT_EQ(U::unPackIntFromBytes(data, 0, 2, false), 513);
  EXPECT_EQ(U::unPackIntFromBytes(data, 1, 2, true), 0x0203);  // the offset counts
  EXPECT_EQ(U::unPackIntFromBytes(data, 0, 0, true), 0);
  EXPECT_EQ(U::unPackIntFromBytes(data, 0, 5, true), -1);
  EXPECT_EQ(U::unPackIntFromBytes(data, 2, 2, true), -1);
  EXPECT_EQ(U::unPackIntFromBytes(data, -1, 1, true), -1);
  EXPECT_EQ(U::unPackIntFromBytes(b({0x80, 0, 0, 0}), 0, 4, true), INT_MIN);
  for (const int v : {0, 1, 255, 256, 65535, 65536, 0xFFFFFF, INT_MAX}) {
    EXPECT_EQ(U::unPackIntFromBytes(*U::packIntToBytes(v, 4, false), 0, 4, false), v);
  }
}

TEST(IntegerBytes, IsBitSetCountsFromOneAndRejectsOthers) {
  EXPECT_TRUE(U::isBitSet(0x80, 8));
  EXPECT_FALSE(U::isBitSet(0x80, 1));
  EXPECT_TRUE(U::isBitSet(0x01, 1));
  try {
    U::isBitSet(0x80, 9);
    FAIL() << "no exception";
  } catch (const IllegalArgumentException& e) {
    EXPECT_STREQ(e.what(), "parameter 'bitPos' must be between 1 and 8. bitPos=9");
  }
  EXPECT_THROW(U::isBitSet(0x80, 0), std::invalid_argument);
}

TEST(Hex, TextToBytes) {
  EXPECT_EQ(U::hexStr2byte('7'), 7);
  EXPECT_EQ(U::hexStr2byte('f'), 15);
  EXPECT_EQ(U::hexStr2byte('F'), 15);
  EXPECT_EQ(U::hexStr2byte('g'), 255);
  EXPECT_EQ(U::hexStr2Data("ABC"), b({0x0A, 0xBC}));
  EXPECT_EQ(U::hexStr2Data("00ff"), b({0x00, 0xFF}));
  EXPECT_EQ(U::hexStr2Data(""), Bytes{});
  EXPECT_FALSE(U::hexStr2Data("0g"));
}

TEST(Hex, BytesToTextStaysInsideTheData) {
  const Bytes data = b({0x00, 0xAB, 0x7F});
  EXPECT_EQ(U::hexStringWithByte(0x0A), "0A");
  EXPECT_EQ(U::hexStringWithData(data), "00AB7F");
  EXPECT_EQ(U::hexStringWithData({}), "");
  EXPECT_EQ(U::hexStringWithBytes(data, 1, 2), "AB7F");
  EXPECT_EQ(U::hexStringWithBytes(data, 2), "00AB");
  EXPECT_EQ(U::hexStringWithBytes(data, 3, 0), "");
  EXPECT_EQ(U::hexStringWithBytes(data, 2, 2), "");
  EXPECT_EQ(U::hexStringWithBytes(data, UINT64_MAX, 2), "");
}

TEST(Hex, NumbersToText) {
  EXPECT_EQ(U::integerToHexString(255), "ff");
  EXPECT_EQ(U::integerToHexString(0), "0");
  EXPECT_EQ(U::integerToHexString(-1), "ffffffff");  // ends, as unsigned 32-bit
  EXPECT_EQ(U::integer2UnsignedString(5, 1), "101");
  EXPECT_EQ(U::integer2UnsignedString(35, 5), "13");
  EXPECT_EQ(U::integer2UnsignedString(INT_MIN, 1), "1" + std::string(31, '0'));
  EXPECT_EQ(U::integer2UnsignedString(5, 0), "");
  EXPECT_EQ(U::integer2UnsignedString(5, 6), "");

  EXPECT_EQ(U::getHexByDecimal(255), "FF");
  EXPECT_EQ(U::getHexByDecimal(0), "0");
  EXPECT_EQ(U::getHexByDecimal(0x123456789LL), "123456789");
  EXPECT_EQ(U::getHexByDecimal(0xA123456789LL), "123456789");  // nine digits at most
  EXPECT_FALSE(U::getHexByDecimal(-1));
}

TEST(Hex, ScansLikeThePlatformScanner) {
  struct Case {
    std::string_view text;
    std::uint64_t value;
  };
  const Case cases[] = {
      {"ff", 255},
      {"  0x1A", 26},
      {"\n0XFFz", 255},
      {"1F garbage", 31},
      {"zz", 0},
      {"", 0},
      {"0x", 0},
      {"FFFFFFFF", 0xFFFFFFFF},
      {"1FFFFFFFF", 0xFFFFFFFF},
      {"123456789ABCDEF0123", 0xFFFFFFFF},
  };
  for (const Case& c : cases) EXPECT_EQ(U::intValueWithHexString(c.text), c.value) << c.text;
}

TEST(Padding, Texts) {
  EXPECT_EQ(U::padleft("  12\t", 5, '0'), "00012");
  EXPECT_EQ(U::padright(" 12 ", 4, '*'), "12**");
  EXPECT_EQ(U::padleft("123", 3, '0'), "123");
  EXPECT_FALSE(U::padleft("1234", 3, '0'));
  EXPECT_FALSE(U::padleft("1", -1, '0'));
  EXPECT_EQ(U::padleft("é", 3, '0'), "00é");  // counts characters, not bytes
  EXPECT_EQ(U::padleft("😀", 3, '0'), "0😀");   // two UTF-16 units
  EXPECT_EQ(U::zeropadWithString("7", 3), "007");

  EXPECT_EQ(U::zeropadWithLong(12345, 3), "345");
  EXPECT_EQ(U::zeropadWithLong(0, 3), "000");
  EXPECT_EQ(U::zeropadWithLong(1000, 3), "000");
  EXPECT_EQ(U::zeropadWithLong(42, 0), "");
  EXPECT_EQ(U::zeropadWithLong(INT64_MAX, 25), "000000" + std::to_string(INT64_MAX));
  EXPECT_EQ(U::zeropadWithLong(INT64_MAX, 19), std::to_string(INT64_MAX));
  EXPECT_FALSE(U::zeropadWithLong(-5, 3));
  EXPECT_FALSE(U::zeropadWithLong(5, -3));

  EXPECT_EQ(U::strpadWithString("ab", 4), "ab  ");
  EXPECT_EQ(U::strpadWithString("abcdef", 4), "abcdef");
  EXPECT_EQ(U::zeropadRightWithString("1", 3), "100");

  EXPECT_EQ(U::unpadStringLeft("0012", '0'), "12");
  EXPECT_EQ(U::unpadStringLeft("000", '0'), "0");
  EXPECT_EQ(U::unpadStringLeft("", '0'), "");
  EXPECT_EQ(U::unpadStringRight("1200", '0'), "12");
  EXPECT_EQ(U::unpadStringRight("00", '0'), "0");

  EXPECT_EQ(U::trim(" a b  c "), "abc");
  EXPECT_EQ(U::trim("\ta"), "\ta");
}

TEST(Padding, Bytes) {
  EXPECT_EQ(U::padLeft(b({1, 2}), 4, 0xFF), b({0xFF, 0xFF, 1, 2}));
  EXPECT_EQ(U::padRight(b({1, 2}), 3, 0), b({1, 2, 0}));
  EXPECT_EQ(U::padLeft(b({1, 2, 3}), 2, 0), b({1, 2, 3}));
  EXPECT_EQ(U::padRight(b({1}), -4, 0), b({1}));
  EXPECT_EQ(U::unpadLeft(b({0, 0, 1, 0}), 0), b({1, 0}));
  EXPECT_EQ(U::unpadRight(b({0, 1, 0, 0}), 0), b({0, 1}));
  EXPECT_FALSE(U::unpadLeft(b({0, 0}), 0));
  EXPECT_FALSE(U::unpadRight({}, 0));
  EXPECT_EQ(fillWithByte(0xFF, 3), b({0xFF, 0xFF, 0xFF}));
  EXPECT_EQ(fillWithByte(0x01, 0), Bytes{});
  EXPECT_EQ(fillWithByte(0x01, UINT64_MAX), Bytes{});
}

TEST(Ebcdic, TablesArePermutationsAndExactInverses) {
  const auto& toAscii = U::ebcdicToAsciiTable();
  const auto& toEbcdic = U::asciiToEbcdicTable();
  std::set<int> seen;
  for (int i = 0; i < 256; ++i) {
    seen.insert(toAscii[static_cast<std::size_t>(i)]);
    EXPECT_EQ(toEbcdic[toAscii[static_cast<std::size_t>(i)]], i);
    EXPECT_EQ(toAscii[toEbcdic[static_cast<std::size_t>(i)]], i);
  }
  EXPECT_EQ(seen.size(), 256u);
  const std::pair<char, int> known[] = {{'[', 0xAD}, {']', 0xBD}, {'^', 0x5F}, {'A', 0xC1},
                                        {'a', 0x81}, {' ', 0x40}, {'0', 0xF0}, {'9', 0xF9}};
  for (const auto& [ascii, ebcdic] : known) {
    EXPECT_EQ(toEbcdic[static_cast<std::uint8_t>(ascii)], ebcdic) << ascii;
  }
  EXPECT_EQ(toAscii[0x15], 0x0A);
  EXPECT_EQ(toAscii[0x25], 0x85);
}

TEST(Ebcdic, Conversions) {
  EXPECT_EQ(U::asciiToEbcdic("A1"), b({0xC1, 0xF1}));
  EXPECT_EQ(U::asciiToEbcdic("Aé"), Bytes{});
  EXPECT_EQ(U::ebcdicToAscii(b({0xC1, 0xF1})), "A1");
  EXPECT_EQ(U::ebcdicToAscii(b({0x15})), "\n");
  // Letters beyond ASCII come out as text, not as a failed decode.
  EXPECT_EQ(U::ebcdicToAscii(b({0x51, 0x41})), "é\u00a0");
  EXPECT_EQ(U::ebcdicToAscii(b({0x40, 0xC1, 0xC2}), 1, 2), "AB");
  EXPECT_FALSE(U::ebcdicToAscii(b({0x40}), 1, 1));
  EXPECT_FALSE(U::ebcdicToAsciiBytes(b({0x40, 0x40}), 1, UINT64_MAX));
  EXPECT_EQ(U::ebcdicToAsciiBytes(b({0x40, 0x4B})), b({0x20, 0x2E}));
  EXPECT_EQ(U::asciiDataToEbcdic(b({0x0A, 0x85})), b({0x15, 0x25}));
}

}  // namespace
}  // namespace veltrix::transport
