// Field encodings: blank against zero, exact byte patterns from the format
// reference, and the property that encoded numbers sort like their values.
#include "engine/format/field_codec.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <cmath>
#include <cstring>
#include <limits>
#include <random>
#include <vector>

#include "engine/format/date_time.h"

namespace px {
namespace {

std::vector<std::uint8_t> encoded(FieldType type, int sizeByte, const Value& v) {
  std::vector<std::uint8_t> out(static_cast<std::size_t>(recordSizeOf(type, static_cast<std::uint8_t>(sizeByte))));
  EXPECT_TRUE(codec::encodeFixed(type, sizeByte, v, out.data()).ok());
  return out;
}

Value decoded(FieldType type, int sizeByte, const std::vector<std::uint8_t>& bytes) {
  Value v;
  EXPECT_TRUE(codec::decodeFixed(type, sizeByte, bytes.data(), v).ok());
  return v;
}

TEST(FieldCodec, IntegerPatternsFromTheFormatReference) {
  EXPECT_EQ(encoded(FieldType::Short, 2, std::int32_t{1}), (std::vector<std::uint8_t>{0x80, 0x01}));
  EXPECT_EQ(encoded(FieldType::Short, 2, std::int32_t{-1}), (std::vector<std::uint8_t>{0x7F, 0xFF}));
  EXPECT_EQ(encoded(FieldType::Short, 2, std::int32_t{0}), (std::vector<std::uint8_t>{0x80, 0x00}));
  EXPECT_EQ(encoded(FieldType::Time, 4, std::int32_t{3600000}), (std::vector<std::uint8_t>{0x80, 0x36, 0xEE, 0x80}));
}

TEST(FieldCodec, ZeroIsNotBlankForAnyNumericType) {
  for (FieldType t : {FieldType::Short, FieldType::Long, FieldType::AutoInc, FieldType::Date, FieldType::Time}) {
    auto bytes = encoded(t, t == FieldType::Short ? 2 : 4, std::int32_t{0});
    EXPECT_EQ(decoded(t, t == FieldType::Short ? 2 : 4, bytes), Value(std::int32_t{0}));
    std::fill(bytes.begin(), bytes.end(), 0);
    EXPECT_TRUE(isNull(decoded(t, t == FieldType::Short ? 2 : 4, bytes)));
  }
  for (FieldType t : {FieldType::Number, FieldType::Currency, FieldType::Timestamp}) {
    auto bytes = encoded(t, 8, 0.0);
    EXPECT_EQ(bytes[0], 0x80);
    EXPECT_EQ(decoded(t, 8, bytes), Value(0.0));
    EXPECT_TRUE(isNull(decoded(t, 8, std::vector<std::uint8_t>(8, 0))));
  }
  EXPECT_EQ(decoded(FieldType::Logical, 1, {0x80}), Value(false));
  EXPECT_TRUE(isNull(decoded(FieldType::Logical, 1, {0x00})));
}

TEST(FieldCodec, MostNegativeLongCannotBeStored) {
  std::uint8_t buf[4];
  EXPECT_EQ(codec::encodeFixed(FieldType::Long, 4, Value(std::numeric_limits<std::int32_t>::min()), buf).code(),
            rc::kInvalidValue);
  EXPECT_EQ(codec::encodeFixed(FieldType::Short, 2, Value(std::int32_t{40000}), buf).code(), rc::kInvalidValue);
}

TEST(FieldCodec, EncodedNumbersSortLikeTheirValues) {
  std::mt19937 rng(7);
  std::uniform_real_distribution<double> real(-1e9, 1e9);
  std::uniform_int_distribution<std::int32_t> integer(-2000000000, 2000000000);
  std::vector<double> doubles{0.0, -0.5, 0.5, 1e-300, -1e-300, 1e300, -1e300};
  std::vector<std::int32_t> ints{0, 1, -1, 32767, -32767, 2147483647, -2147483647};
  for (int i = 0; i < 300; ++i) {
    doubles.push_back(real(rng));
    ints.push_back(integer(rng));
  }
  auto checkOrder = [](auto values, FieldType type, int size) {
    std::sort(values.begin(), values.end());
    for (std::size_t i = 1; i < values.size(); ++i) {
      auto a = encoded(type, size, Value(values[i - 1]));
      auto b = encoded(type, size, Value(values[i]));
      EXPECT_LE(std::memcmp(a.data(), b.data(), a.size()), 0) << values[i - 1] << " vs " << values[i];
      EXPECT_EQ(decoded(type, size, b), Value(values[i]));
    }
  };
  checkOrder(doubles, FieldType::Number, 8);
  checkOrder(ints, FieldType::Long, 4);
}

TEST(FieldCodec, BcdPatternsAndRoundTrip) {
  std::vector<std::uint8_t> plus(17, 0), minus(17, 0xFF);
  plus[0] = 0xC2, plus[15] = 0x01, plus[16] = 0x23;
  minus[0] = 0x42, minus[15] = 0xFE, minus[16] = 0xDC;
  EXPECT_EQ(encoded(FieldType::BCD, 2, Decimal{"1.23"}), plus);
  EXPECT_EQ(encoded(FieldType::BCD, 2, Decimal{"-1.23"}), minus);
  EXPECT_EQ(decoded(FieldType::BCD, 2, plus), Value(Decimal{"1.23"}));
  EXPECT_EQ(decoded(FieldType::BCD, 2, minus), Value(Decimal{"-1.23"}));
  EXPECT_EQ(decoded(FieldType::BCD, 0, encoded(FieldType::BCD, 0, Decimal{"-98765432109876543210987654321098"})),
            Value(Decimal{"-98765432109876543210987654321098"}));
  EXPECT_EQ(decoded(FieldType::BCD, 4, encoded(FieldType::BCD, 4, Decimal{"-0"})), Value(Decimal{"0.0000"}));
}

TEST(FieldCodec, BcdRejectsWhatItCannotHoldExactly) {
  std::uint8_t buf[17];
  EXPECT_EQ(codec::encodeBcd(buf, 2, "1.234").code(), rc::kInvalidValue);
  EXPECT_TRUE(codec::encodeBcd(buf, 2, "1.230").ok());
  EXPECT_EQ(codec::encodeBcd(buf, 0, "123456789012345678901234567890123").code(), rc::kInvalidValue);
  EXPECT_EQ(codec::encodeBcd(buf, 2, "1e5").code(), rc::kInvalidValue);
  EXPECT_EQ(codec::encodeBcd(buf, 2, "").code(), rc::kInvalidValue);
}

TEST(FieldCodec, BcdDigitsEndAtAStrayNibble) {
  // As in set01/bcd.db: 0.123 from a double, stray nibbles after the 19th digit.
  const std::vector<std::uint8_t> stored{0xE0, 0x12, 0x29, 0x99, 0x99, 0x99, 0x99, 0x99, 0x99,
                                         0x98, 0x0B, 0x00, 0xE0, 0x00, 0x00, 0xBF, 0x4A};
  EXPECT_EQ(decoded(FieldType::BCD, 32, stored), Value(Decimal{"0.12299999999999999800000000000000"}));
}

TEST(FieldCodec, InvalidLogicalByteIsAnError) {
  Value v;
  const std::uint8_t byte = 0x42;
  EXPECT_EQ(codec::decodeFixed(FieldType::Logical, 1, &byte, v).code(), rc::kInvalidValue);
}

TEST(DateTime, DayNumbersFromTheFormatReference) {
  EXPECT_EQ(dayNumberFromCivil({1, 1, 1}), 1);
  EXPECT_EQ(dayNumberFromCivil({1996, 5, 4}), 728783);
  EXPECT_EQ(dayNumberFromCivil({2018, 1, 1}), 736695);
  EXPECT_EQ(formatTimestamp(63716202001000.0), "2020-02-01 01:00:01");
  for (std::int32_t d : {1, 59, 60, 61, 365, 366, 693596, 730120, 736695, 3652059}) {
    const CivilDate c = civilFromDayNumber(d);
    EXPECT_EQ(dayNumberFromCivil(c), d);
  }
  const CivilDate leap = civilFromDayNumber(dayNumberFromCivil({2000, 2, 29}));
  EXPECT_EQ(leap.month, 2);
  EXPECT_EQ(leap.day, 29);
  EXPECT_EQ(formatTime(45296789), "12:34:56.789");
}

}  // namespace
}  // namespace px
