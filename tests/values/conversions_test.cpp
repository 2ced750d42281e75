#include <gtest/gtest.h>

#include <climits>
#include <cmath>

#include "civil_date.h"
#include "gbk_literal.h"
#include "runtime/values/conversions.h"
#include "runtime/values/date_time.h"

using namespace rt;

using civil::at;

TEST(ToText, NumbersInTheirFormats) {
    EXPECT_EQ(toText(std::uint8_t{255}), "255");
    EXPECT_EQ(toText(std::int16_t{-32768}), "-32768");
    EXPECT_EQ(toText(std::int32_t{-7}), "-7");
    EXPECT_EQ(toText(std::int64_t{-9223372036854775807LL - 1}), "-9223372036854775808");
    EXPECT_EQ(toText(1.0f / 3.0f), "0.333333");
    EXPECT_EQ(toText(1234567.0f), "1.23457e+06");
    EXPECT_EQ(toText(1.0 / 3.0), "0.3333333333333");
    EXPECT_EQ(toText(2.5), "2.5");
    EXPECT_EQ(toText(1e20), "1e+20");
    EXPECT_EQ(toText(true), G("真"));
    EXPECT_EQ(toText(false), G("假"));
    EXPECT_EQ(toText(SubroutineAddress{0x401000}), "4198400");
}

TEST(ToText, TextsAndBytesStopAtNul) {
    EXPECT_EQ(toText(Bytes{'a', 'b', 0, 'c', 'd'}), "ab");
    EXPECT_EQ(toText(Bytes{'a', 'b'}), "ab");
    EXPECT_EQ(toText(Bytes{}), "");
    EXPECT_EQ(toText(Bytes{0, 'a'}), "");
    EXPECT_EQ(toText("plain"), "plain");
    EXPECT_EQ(toText(Text("x\0y", 3)), "x");
    EXPECT_EQ(toText(Value{Text("abc")}), "abc");
    EXPECT_EQ(toText(Value{std::int16_t{-3}}), "-3");
}

TEST(ToText, DefaultDateTimeText) {
    EXPECT_EQ(U(toText(at(2008, 1, 1))), "2008年1月1日");
    EXPECT_EQ(U(toText(at(2008, 1, 1, 8, 30))), "2008年1月1日8时30分");
    EXPECT_EQ(U(toText(at(2008, 10, 6, 23))), "2008年10月6日23时");
    EXPECT_EQ(U(toText(at(2008, 10, 6, 23, 5))), "2008年10月6日23时5分");
    EXPECT_EQ(U(toText(at(2008, 10, 6, 23, 0, 7))), "2008年10月6日23时0分7秒");
    EXPECT_EQ(U(toText(at(2008, 10, 6, 0, 0, 7))), "2008年10月6日0时0分7秒");
    EXPECT_EQ(U(toText(DateTime{-1e7})), "100年1月1日");
    EXPECT_EQ(U(toText(Value{at(100, 1, 1)})), "100年1月1日");
}

TEST(ToInteger, EveryKind) {
    EXPECT_EQ(toInteger(std::uint8_t{200}), 200);
    EXPECT_EQ(toInteger(std::int16_t{-5}), -5);
    EXPECT_EQ(toInteger(std::int64_t{0x1'0000'0005LL}), 5);
    EXPECT_EQ(toInteger(std::int64_t{0xFFFF'FFFFLL}), -1);
    EXPECT_EQ(toInteger(2.9), 2);
    EXPECT_EQ(toInteger(-2.9), -2);
    EXPECT_EQ(toInteger(-2.9f), -2);
    EXPECT_EQ(toInteger(1e10), INT_MIN);
    EXPECT_EQ(toInteger(std::nan("")), INT_MIN);
    EXPECT_EQ(toInteger(2147483647.5), 2147483647);
    EXPECT_EQ(toInteger(true), 1);
    EXPECT_EQ(toInteger(SubroutineAddress{0x401000}), 0x401000);
    EXPECT_EQ(toInteger(at(2008, 1, 1)), 0);
    EXPECT_EQ(toInteger(Bytes{'1'}), 0);
}

TEST(ToInteger, TextIsReadAsDecimal) {
    EXPECT_EQ(toInteger(Text("42")), 42);
    EXPECT_EQ(toInteger(Text("  -17abc")), -17);
    EXPECT_EQ(toInteger(Text("+8")), 8);
    EXPECT_EQ(toInteger(Text("12.9")), 12);
    EXPECT_EQ(toInteger(Text("0x10")), 0);
    EXPECT_EQ(toInteger(Text("")), 0);
    EXPECT_EQ(toInteger(Text("abc")), 0);
    EXPECT_EQ(toInteger(Text("99999999999999999999")), INT_MAX);
    EXPECT_EQ(toInteger(Text("-2147483648")), INT_MIN);
    EXPECT_EQ(toInteger(Text("-99999999999")), INT_MIN);
}

TEST(IntegerPart, FloorWithTheNearIntegerRule) {
    EXPECT_EQ(integerPart(2.9999999999999), 3);
    EXPECT_EQ(integerPart(2.99999999999), 2);  // 1e-11 away: not near enough
    EXPECT_EQ(integerPart(2.5), 2);
    EXPECT_EQ(integerPart(-2.5), -3);
    EXPECT_EQ(integerPart(-2.0), -2);
    EXPECT_EQ(integerPart(-2.0000000000001), -3);  // only away from zero counts
    EXPECT_EQ(integerPart(0.0), 0);
    EXPECT_EQ(integerPart(7.0), 7);
    EXPECT_EQ(integerPart(0.1 * 3 * 10), 3);  // 3.0000000000000004
    EXPECT_EQ(integerPart(1e300), INT_MIN);
    EXPECT_EQ(integerPart(std::nan("")), INT_MIN);
}

TEST(BitwiseCommands, AnyNumberOfArguments) {
    EXPECT_EQ(bitAnd(0x7F), 0x7F);
    EXPECT_EQ(bitAnd(0xFF, 0x0F, 0x3C), 0x0C);
    EXPECT_EQ(bitOr(0x10), 0x10);
    EXPECT_EQ(bitOr(1, 2, 4, 8), 15);
    EXPECT_EQ(bitOr(INT_MIN, 1), INT_MIN + 1);
}
