#include "runtime/array.h"
#include "runtime/string.h"

#include <gtest/gtest.h>

#include <cstdio>
#include <limits>
#include <string>
#include <vector>

namespace {

String S(const char* narrow) { return String(narrow); }

std::vector<std::string> narrow_parts(const Array<String>& parts) {
    std::vector<std::string> out;
    for (const String& p : parts) out.emplace_back(CString(p).c_str());
    return out;
}

String load_bytes(const std::vector<unsigned char>& bytes) {
    std::FILE* f = std::tmpfile();
    if (!bytes.empty()) std::fwrite(bytes.data(), 1, bytes.size(), f);
    std::rewind(f);
    String s = String::Load(f);
    std::fclose(f);
    return s;
}

TEST(String, SliceCountsNegativeIndicesFromTheEnd) {
    struct Case {
        int from, to;
        const char* expected;
    } cases[] = {{-3, -1, "de"}, {2, 100, "cdef"}, {4, 2, ""}, {-100, 2, "ab"}, {3, 3, ""}, {10, 20, ""}};
    String text = S("abcdef");
    for (const Case& c : cases) EXPECT_EQ(text.Slice(c.from, c.to), S(c.expected)) << c.from << "," << c.to;
    EXPECT_EQ(text.Slice(-2), S("ef"));
}

TEST(String, OperationsWithoutChangeShareTheBlock) {
    String text = S("Hello");
    String empty;
    EXPECT_TRUE((text + empty).SharesWith(text));
    EXPECT_TRUE((empty + text).SharesWith(text));
    EXPECT_TRUE(text.Slice(0, 5).SharesWith(text));
    EXPECT_TRUE(text.Replace(S("x"), S("y")).SharesWith(text));
    EXPECT_TRUE(S("HELLO").ToUpper() == S("HELLO"));
    String upper = S("ABC");
    EXPECT_TRUE(upper.ToUpper().SharesWith(upper));
    EXPECT_TRUE(upper.ToLower() == S("abc"));
    Array<String> one(&text, 1);
    EXPECT_TRUE(S(",").Join(one).SharesWith(text));
}

TEST(String, SplitAndJoin) {
    EXPECT_EQ(narrow_parts(S("a,b,,c").Split(S(","))), (std::vector<std::string>{"a", "b", "", "c"}));
    EXPECT_EQ(narrow_parts(S("abc").Split(String())), (std::vector<std::string>{"a", "b", "c"}));
    EXPECT_EQ(narrow_parts(S("abc").Split(S("x"))), (std::vector<std::string>{"abc"}));
    EXPECT_EQ(narrow_parts(S(",a,").Split(S(","))), (std::vector<std::string>{"", "a", ""}));
    EXPECT_EQ(String().Split(String()).Length(), 0);
    EXPECT_EQ(S(", ").Join(Array<String>()), String());
    EXPECT_EQ(S(", ").Join(S("x,y,z").Split(S(","))), S("x, y, z"));
}

TEST(String, FindReplaceAndAffixes) {
    EXPECT_EQ(S("aaa").Replace(S("aa"), S("b")), S("ba"));
    EXPECT_EQ(S("a-b-c").Replace(S("-"), S("--")), S("a--b--c"));
    String text = S("abc");
    EXPECT_TRUE(text.Replace(String(), S("x")).SharesWith(text))
        << "an empty search finds nothing to replace";
    EXPECT_EQ(S("abcabc").Find(S("c")), 2);
    EXPECT_EQ(S("abcabc").Find(S("c"), 3), 5);
    EXPECT_EQ(S("abcabc").Find(S("c"), -5), 2);
    EXPECT_EQ(S("abc").Find(S("abcd")), -1);
    EXPECT_TRUE(S("cobalt://data/x").StartsWith(S("cobalt:")));
    EXPECT_FALSE(S("cob").StartsWith(S("cobalt:")));
    EXPECT_TRUE(S("a.WAV").ToLower().EndsWith(S(".wav")));
    EXPECT_FALSE(S("wav").EndsWith(S(".wav")));
}

TEST(String, NumbersFormatLikeC) {
    struct Case {
        float value;
        const char* text;
    } cases[] = {{1, "1.0"},      {100, "100.0"},
                 {0.5f, "0.5"},   {3, "3.0"},
                 {0.25f, "0.25"}, {0.1f, "0.10000000149011612"},
                 {-2, "-2.0"},    {1e20f, "1.0000000200408773e+20"}};
    for (const Case& c : cases) EXPECT_EQ(String(c.value), S(c.text)) << c.text;
    // Neither "." nor "e" in C's words for the special values, so they get ".0" too.
    EXPECT_EQ(String(std::numeric_limits<float>::infinity()), S("inf.0"));
    EXPECT_EQ(String(-std::numeric_limits<float>::infinity()), S("-inf.0"));
    EXPECT_EQ(String(std::numeric_limits<float>::quiet_NaN()), S("nan.0"));
    EXPECT_EQ(String(-0.0f), S("-0.0"));
    EXPECT_EQ(String(-5), S("-5"));
    EXPECT_EQ(String(0), S("0"));
}

TEST(String, ToIntReadsLikeAtoiAndSaturates) {
    struct Case {
        const char* text;
        int value;
    } cases[] = {{" 42abc", 42},
                 {"abc", 0},
                 {"-17", -17},
                 {"+8", 8},
                 {"\t\n 7", 7},
                 {"", 0},
                 {"99999999999999999999", 2147483647},
                 {"-99999999999999999999", -2147483648}};
    for (const Case& c : cases) EXPECT_EQ(S(c.text).ToInt(), c.value) << c.text;
    // Only the first 63 characters count: 62 zeros then "12" reads as 1.
    EXPECT_EQ(S((std::string(62, '0') + "12").c_str()).ToInt(), 1);
}

TEST(String, LoadDecodesByteOrderMarksAndUtf8) {
    EXPECT_EQ(load_bytes({}), String());
    EXPECT_EQ(load_bytes({0xFF, 0xFE}), String());
    EXPECT_EQ(load_bytes({0xFE, 0xFF, 0x00, 0x41, 0x20, 0xAC, 0x99}), String(u"A\u20AC"));
    EXPECT_EQ(load_bytes({0xFF, 0xFE, 0x41, 0x00, 0xAC, 0x20}), String(u"A\u20AC"));
    EXPECT_EQ(load_bytes({0xEF, 0xBB, 0xBF, 'h', 0xC3, 0xA9, 0xE2, 0x82, 0xAC}), String(u"h\u00E9\u20AC"));
    // Invalid UTF-8 falls back to the bytes after the mark, one character each.
    EXPECT_EQ(load_bytes({0xEF, 0xBB, 0xBF, 'a', 0xFF, 'b'}), String(u"a\u00FFb"));
    EXPECT_EQ(load_bytes({'a', 0xC3}), String(u"a\u00C3"));
    EXPECT_EQ(load_bytes({0xF0, 0x9F, 0x98, 0x80}), String(u"\u00F0\u009F\u0098\u0080"));
}

TEST(String, LoadReadsFilesLongerThanOneBlock) {
    std::vector<unsigned char> bytes(10000, 'x');
    bytes[4096] = 'y';
    String s = load_bytes(bytes);
    ASSERT_EQ(s.Length(), 10000);
    EXPECT_EQ(s[4096], 'y');
}

TEST(String, Utf8EncodingOfEveryRange) {
    std::string out;
    String(u"a\u00E9\u20AC\U0001F600").ToUtf8(out);
    EXPECT_EQ(out, "a\xC3\xA9\xE2\x82\xAC\xED\xA0\xBD\xED\xB8\x80");
}

TEST(String, CStringKeepsTheLowByte) {
    EXPECT_STREQ(CString(String(u"A\u0142z")).c_str(), "A\x42z");
    EXPECT_EQ(String::FromChar(0x20AC), String(u"\u20AC"));
}

} // namespace
