#include "host/game.h"
#include "net/databuffer.h"
#include "net/thread.h"
#include "net_support.h"

#include <gtest/gtest.h>

#include <cstdio>
#include <cstdlib>
#include <ostream>
#include <string>
#include <vector>

namespace {

using net_test::keep;

c_DataBuffer* buffer_of(const std::vector<int>& bytes) {
    auto* buffer = keep((new c_DataBuffer)->m_new(int(bytes.size())));
    Array<int> values(bytes.data(), int(bytes.size()));
    buffer->p_PokeBytes(0, values, 0, values.Length());
    return buffer;
}

std::vector<int> bytes_of(c_DataBuffer* buffer) {
    Array<int> values = buffer->p_PeekBytes2(0, buffer->Length());
    return {values.begin(), values.end()};
}

std::u16string units(const String& s) { return {s.Data(), s.Data() + s.Length()}; }

const String utf8(u"utf8");
const String ascii(u"ascii");

struct Utf8Case {
    std::u16string text;
    std::vector<int> bytes; // signed, as read back
};

void PrintTo(const Utf8Case& c, std::ostream* out) {
    for (char16_t unit : c.text) *out << "U+" << std::hex << int(unit) << ' ';
}

class Utf8Encoding : public ::testing::TestWithParam<Utf8Case> {};

TEST_P(Utf8Encoding, PokesTheBytesAndPeeksTheTextBack) {
    const Utf8Case& c = GetParam();
    String text(c.text.data(), int(c.text.size()));
    auto* buffer = keep((new c_DataBuffer)->m_new(int(c.bytes.size())));
    EXPECT_EQ(buffer->p_PokeString(0, text, utf8), int(c.bytes.size()));
    EXPECT_EQ(bytes_of(buffer), c.bytes);
    EXPECT_EQ(units(buffer->p_PeekString2(0, utf8)), c.text);
}

INSTANTIATE_TEST_SUITE_P(
    DataBuffer, Utf8Encoding,
    ::testing::Values(Utf8Case{u"A~", {0x41, 0x7E}}, Utf8Case{u"\u00E9", {-0x3D, -0x57}},
                      Utf8Case{u"\u20AC", {-0x1E, -0x7E, -0x54}},
                      // Surrogate halves are encoded one by one and come back as two units.
                      Utf8Case{u"\U0001F600", {-0x13, -0x60, -0x43, -0x13, -0x48, -0x80}}));

TEST(DataBuffer, AsciiPeekGivesOneLatin1CharacterPerByte) {
    auto* buffer = buffer_of({0xC3, 0xA9, 0x41});
    EXPECT_EQ(units(buffer->p_PeekString(0, 3, ascii)), std::u16string(u"\u00C3\u00A9A"));
    EXPECT_EQ(buffer->p_PokeString(0, String(u"\u0141z"), ascii), 2);
    EXPECT_EQ(bytes_of(buffer), (std::vector<int>{0x41, 0x7A, 0x41})); // low 8 bits of U+0141
}

TEST(DataBuffer, InvalidUtf8ComesBackUndecodedAsLatin1LikeTheStringDecoderGivesIt) {
    // a b c and a stray continuation byte: nothing is decoded, each byte becomes its character.
    auto* buffer = buffer_of({'a', 'b', 'c', 0x80});
    EXPECT_EQ(units(buffer->p_PeekString2(0, utf8)), std::u16string(u"abc\u0080"));
    for (std::vector<int> bad : {std::vector<int>{0xC3},
                                 {0xE2, 0x82},
                                 {0xF0, 0x9F, 0x98, 0x80},
                                 {0xC3, 0x41},
                                 {'c', 'a', 'f', 0xE9}}) {
        std::vector<unsigned char> raw(bad.begin(), bad.end());
        EXPECT_EQ(units(buffer_of(bad)->p_PeekString2(0, utf8)),
                  units(String::FromBytes(raw.data(), raw.size())));
        EXPECT_EQ(units(buffer_of(bad)->p_PeekString2(0, utf8)),
                  units(buffer_of(bad)->p_PeekString2(0, ascii)));
    }
}

TEST(DataBuffer, BytesReadBackSignedAndWritesKeepTheLow8Bits) {
    auto* buffer = buffer_of({0xFF, 0x1FF, 128, 127, -1});
    EXPECT_EQ(bytes_of(buffer), (std::vector<int>{-1, -1, -128, 127, -1}));
}

TEST(DataBuffer, PokeStringPastTheEndWritesWhatFitsAndCountsEveryByte) {
    auto* buffer = buffer_of(std::vector<int>(100, 0x2A));
    EXPECT_EQ(buffer->p_PokeString(95, String(u"0123456789"), utf8), 10);
    EXPECT_EQ(units(buffer->p_PeekString(93, 100, ascii)), std::u16string(u"**01234"));
    EXPECT_EQ(buffer->p_PokeString(98, String(u"xyz"), ascii), 3);
    EXPECT_EQ(units(buffer->p_PeekString2(97, ascii)), std::u16string(u"2xy"));
}

struct Clamp {
    int address, count, offset, arrayLength;
    std::vector<int> read; // what PeekBytes puts into the array (zero elsewhere)
};

void PrintTo(const Clamp& c, std::ostream* out) {
    *out << "address " << c.address << " count " << c.count << " offset " << c.offset << " array "
         << c.arrayLength;
}

class BulkClamping : public ::testing::TestWithParam<Clamp> {};

TEST_P(BulkClamping, CopiesOnlyWhatBothSidesHold) {
    const Clamp& c = GetParam();
    auto* buffer = buffer_of({1, 2, 3, 4, 5});
    Array<int> out(c.arrayLength);
    buffer->p_PeekBytes(c.address, out, c.offset, c.count);
    EXPECT_EQ(std::vector<int>(out.begin(), out.end()), c.read);

    Array<int> source(c.arrayLength);
    for (int& v : source) v = 9;
    buffer->p_PokeBytes(c.address, source, c.offset, c.count);
    int changed = 0;
    for (int v : bytes_of(buffer)) changed += v == 9;
    int copied = 0;
    for (int v : c.read) copied += v != 0;
    EXPECT_EQ(changed, copied);
}

INSTANTIATE_TEST_SUITE_P(DataBuffer, BulkClamping,
                         ::testing::Values(Clamp{0, 5, 0, 5, {1, 2, 3, 4, 5}},
                                           Clamp{3, 10, 0, 4, {4, 5, 0, 0}}, // cut by the buffer
                                           Clamp{0, 5, 2, 4, {0, 0, 1, 2}},  // cut by the array
                                           Clamp{5, 1, 0, 1, {0}},           // at the end
                                           Clamp{-1, 3, 0, 3, {0, 0, 0}},    // before the start
                                           Clamp{0, 2, -1, 3, {0, 0, 0}},    // before the array
                                           Clamp{1, -2, 0, 2, {0, 0}}));     // negative count

TEST(DataBuffer, PeekBytes2ClampsItsLengthToTheBytesLeft) {
    auto* buffer = buffer_of({1, 2, 3, 4, 5});
    EXPECT_EQ(buffer->p_PeekBytes2(3, 10).Length(), 2);
    EXPECT_EQ(buffer->p_PeekBytes2(6, 1).Length(), 0);
    EXPECT_EQ(buffer->p_PeekBytes2(-2, 3).Length(), 0);
    EXPECT_EQ(buffer->p_PeekString(9, 2, utf8).Length(), 0);
}

TEST(DataBuffer, CopyBytesWithinOneBufferDoesNotSmearEitherWay) {
    auto* forward = buffer_of({'a', 'b', 'c', 'd', 'e'});
    forward->p_CopyBytes(0, forward, 1, 4);
    EXPECT_EQ(units(forward->p_PeekString2(0, ascii)), std::u16string(u"aabcd"));
    auto* backward = buffer_of({'a', 'b', 'c', 'd', 'e'});
    backward->p_CopyBytes(1, backward, 0, 4);
    EXPECT_EQ(units(backward->p_PeekString2(0, ascii)), std::u16string(u"bcdee"));
}

TEST(DataBuffer, CopyBytesToAnotherBufferStopsAtEitherEnd) {
    auto* source = buffer_of({1, 2, 3, 4, 5});
    auto* target = buffer_of({0, 0, 0});
    source->p_CopyBytes(2, target, 1, 10);
    EXPECT_EQ(bytes_of(target), (std::vector<int>{0, 3, 4}));
    source->p_CopyBytes(0, target, -1, 2);
    source->p_CopyBytes(0, target, 3, 2);
    EXPECT_EQ(bytes_of(target), (std::vector<int>{0, 3, 4}));
}

TEST(DataBuffer, DiscardEmptiesTheBufferSoItCanBeAllocatedAgain) {
    auto* buffer = keep((new c_DataBuffer)->m_new(8));
    EXPECT_FALSE(buffer->_New(4));
    buffer->Discard();
    EXPECT_EQ(buffer->Length(), 0);
    EXPECT_TRUE(buffer->_New(4));
    EXPECT_EQ(buffer->Length(), 4);
    auto* empty = keep((new c_DataBuffer)->m_new(0));
    EXPECT_EQ(empty->Length(), 0);
    EXPECT_EQ(empty->p_PokeString(0, String(u"x"), utf8), 1);
    EXPECT_EQ(empty->p_PeekString2(0, utf8).Length(), 0);
}

TEST(DataBufferErrors, AllocatingABufferThatHoldsMemoryIsARuntimeError) {
    EXPECT_RUNTIME_ERROR((new c_DataBuffer)->m_new(4)->m_new(4), "Allocate DataBuffer failed");
}

TEST(DataBufferErrors, ANegativeSizeIsARuntimeError) {
    EXPECT_RUNTIME_ERROR((new c_DataBuffer)->m_new(-1), "Allocate DataBuffer failed");
}

TEST(DataBufferErrors, AnUnknownEncodingIsARuntimeErrorNamingIt) {
    EXPECT_RUNTIME_ERROR((new c_DataBuffer)->m_new(4)->p_PokeString(0, String(u"x"), String(u"utf-8")),
                         "Invalid string encoding:utf-8\n");
    EXPECT_RUNTIME_ERROR((new c_DataBuffer)->m_new(4)->p_PeekString(0, 0, String(u"latin1")),
                         "Invalid string encoding:latin1\n");
}

class DataBufferLoad : public ::testing::Test {
  protected:
    void SetUp() override {
        VxGame::_game = &host;
        char name[] = "/tmp/net_databuffer_XXXXXX";
        int fd = mkstemp(name);
        ASSERT_GE(fd, 0);
        path = name;
        const unsigned char bytes[] = {'h', 'i', 0xFF, 0x00, 0x80};
        ASSERT_EQ(write(fd, bytes, sizeof bytes), ssize_t(sizeof bytes));
        close(fd);
    }
    void TearDown() override {
        std::remove(path.c_str());
        VxGame::_game = nullptr;
    }

    VxGame host;
    std::string path;
};

TEST_F(DataBufferLoad, LoadsTheWholeFile) {
    c_DataBuffer* buffer = keep(c_DataBuffer::m_Load(String(path.c_str())));
    ASSERT_NE(buffer, nullptr);
    EXPECT_EQ(bytes_of(buffer), (std::vector<int>{'h', 'i', -1, 0, -128}));
    EXPECT_FALSE(buffer->_Load(String(path.c_str()))); // already holds memory
}

TEST_F(DataBufferLoad, AMissingFileGivesNull) {
    EXPECT_EQ(c_DataBuffer::m_Load(String((path + ".missing").c_str())), nullptr);
}

TEST_F(DataBufferLoad, LoadAsyncHandsTheBufferToTheThreadOnlyWhenItLoaded) {
    auto* thread = keep((new c_Thread)->m_new());
    auto* missing = keep(new c_DataBuffer);
    missing->_LoadAsync(String((path + ".missing").c_str()), thread);
    EXPECT_EQ(thread->Result(), nullptr);
    auto* buffer = keep(new c_DataBuffer);
    buffer->_LoadAsync(String(path.c_str()), thread);
    EXPECT_EQ(thread->Result(), buffer);
    EXPECT_EQ(buffer->Length(), 5);
}

} // namespace
