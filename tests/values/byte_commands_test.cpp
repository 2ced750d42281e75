#include <gtest/gtest.h>

#include <cstring>

#include "gbk_literal.h"
#include "runtime/values/byte_commands.h"

using namespace rt;

namespace {

template <class T>
void put(Bytes& b, T v) {
    const auto* p = reinterpret_cast<const std::uint8_t*>(&v);
    b.insert(b.end(), p, p + sizeof v);
}

template <class T>
T read(const Bytes& b, DataKind kind, int* pos) {
    const BytesRead r = readFromBytes(b, kind, pos);
    EXPECT_TRUE(r.ok());
    EXPECT_TRUE(std::holds_alternative<T>(r.value)) << "kind " << static_cast<int>(kind);
    return std::holds_alternative<T>(r.value) ? std::get<T>(r.value) : T{};
}

}  // namespace

TEST(ReadFromBytes, EveryKindInSequence) {
    Bytes b;
    put<std::uint8_t>(b, 0xAB);
    put<std::int16_t>(b, -2);
    put<std::int32_t>(b, 123456);
    put<std::int64_t>(b, -5000000000LL);
    put<float>(b, 1.5f);
    put<double>(b, -0.25);
    put<std::int32_t>(b, 7);  // any non-zero bool is true
    put<double>(b, 39727.5);
    put<std::uint32_t>(b, 0x401000);
    for (char c : G("节目")) b.push_back(static_cast<std::uint8_t>(c));
    b.push_back(0);
    b.push_back('z');

    int pos = 1;
    EXPECT_EQ(read<std::uint8_t>(b, DataKind::Byte, &pos), 0xAB);
    EXPECT_EQ(pos, 2);
    EXPECT_EQ(read<std::int16_t>(b, DataKind::Short, &pos), -2);
    EXPECT_EQ(read<std::int32_t>(b, DataKind::Int, &pos), 123456);
    EXPECT_EQ(read<std::int64_t>(b, DataKind::Int64, &pos), -5000000000LL);
    EXPECT_EQ(read<float>(b, DataKind::Float, &pos), 1.5f);
    EXPECT_EQ(read<double>(b, DataKind::Double, &pos), -0.25);
    EXPECT_EQ(read<bool>(b, DataKind::Bool, &pos), true);
    EXPECT_EQ(read<DateTime>(b, DataKind::DateTime, &pos), DateTime{39727.5});
    EXPECT_EQ(read<SubroutineAddress>(b, DataKind::Subroutine, &pos), SubroutineAddress{0x401000});
    EXPECT_EQ(pos, 44);
    EXPECT_EQ(read<Text>(b, DataKind::TextData, &pos), G("节目"));
    EXPECT_EQ(pos, 49);  // past the NUL
    EXPECT_EQ(read<Text>(b, DataKind::TextData, &pos), "z");
    EXPECT_EQ(pos, -1);
}

TEST(ReadFromBytes, PositionBecomesMinusOneAtTheEnd) {
    const Bytes b{1, 0, 0, 0, 2, 0, 0, 0};
    int pos = 1;
    EXPECT_EQ(read<std::int32_t>(b, DataKind::Int, &pos), 1);
    EXPECT_EQ(pos, 5);
    EXPECT_EQ(read<std::int32_t>(b, DataKind::Int, &pos), 2);
    EXPECT_EQ(pos, -1);
    // Reading on at -1 gives zeros and stays at -1: a reading loop ends.
    EXPECT_EQ(read<std::int32_t>(b, DataKind::Int, &pos), 0);
    EXPECT_EQ(pos, -1);
    EXPECT_EQ(read<Text>(b, DataKind::TextData, &pos), "");
    pos = 0;
    EXPECT_EQ(read<std::int32_t>(b, DataKind::Int, &pos), 0);
    EXPECT_EQ(pos, -1);
    pos = 99;
    EXPECT_EQ(read<std::uint8_t>(b, DataKind::Byte, &pos), 0);
    EXPECT_EQ(pos, -1);
}

TEST(ReadFromBytes, MissingBytesReadAsZero) {
    const Bytes b{0x34, 0x12, 0xFF};
    int pos = 2;
    EXPECT_EQ(read<std::int32_t>(b, DataKind::Int, &pos), 0xFF12);
    EXPECT_EQ(pos, -1);
    EXPECT_EQ(read<std::int16_t>(b, DataKind::Short, nullptr), 0x1234);  // omitted: from 1
    EXPECT_EQ(read<std::int64_t>(Bytes{}, DataKind::Int64, nullptr), 0);
    EXPECT_EQ(read<bool>(Bytes{0, 0, 0}, DataKind::Bool, nullptr), false);
    EXPECT_EQ(read<Text>(Bytes{'a', 'b'}, DataKind::TextData, nullptr), "ab");
    EXPECT_EQ(read<Text>(Bytes{}, DataKind::TextData, nullptr), "");
}

TEST(ReadFromBytes, InvalidKindIsAnErrorAndLeavesThePosition) {
    const Bytes b{1, 2, 3, 4};
    for (int kind : {0, 11, -1}) {
        int pos = 2;
        const BytesRead r = readFromBytes(b, static_cast<DataKind>(kind), &pos);
        EXPECT_FALSE(r.ok()) << kind;
        EXPECT_EQ(U(r.error), "“欲取出数据的类型”参数值无效") << kind;
        EXPECT_EQ(pos, 2) << kind;
    }
}

TEST(ByteValues, LengthAndMemoryCopies) {
    EXPECT_EQ(byteLength(Bytes{}), 0);
    EXPECT_EQ(byteLength(Bytes(70000, 1)), 70000);

    const char text[] = "on air";
    EXPECT_EQ(textAtAddress(reinterpret_cast<std::uintptr_t>(text)), "on air");
    EXPECT_EQ(textAtAddress(0), "");
    const std::uint8_t raw[] = {9, 0, 8};
    EXPECT_EQ(bytesAtAddress(reinterpret_cast<std::uintptr_t>(raw), 3), (Bytes{9, 0, 8}));
    EXPECT_EQ(bytesAtAddress(reinterpret_cast<std::uintptr_t>(raw), 0), Bytes{});
    EXPECT_EQ(bytesAtAddress(reinterpret_cast<std::uintptr_t>(raw), -4), Bytes{});
    EXPECT_EQ(bytesAtAddress(0, 5), Bytes{});
}
