#include "runtime/object.h"

#include <gtest/gtest.h>

namespace {

class Item : public Object {};

TEST(Array, NewArraysHoldEmptyValues) {
    Array<int> ints(3);
    Array<bool> flags(2);
    Array<String> texts(2);
    Array<Item*> items(2);
    EXPECT_EQ(ints[0] + ints[1] + ints[2], 0);
    EXPECT_FALSE(flags[0] || flags[1]);
    EXPECT_EQ(texts[1], String());
    EXPECT_EQ(items[0], nullptr);
}

TEST(Array, EveryEmptyArrayOfATypeIsTheStaticOne) {
    EXPECT_EQ(Array<int>().rep, Array<int>(0).rep);
    EXPECT_EQ(Array<int>(-4).rep, Array<int>().rep);
    EXPECT_EQ(Array<String>(3).Resize(0).rep, Array<String>().rep);
    EXPECT_EQ(Array<int>().rep->gc_colour(), 3);
}

TEST(Array, ResizeCopiesAndPads) {
    Array<String> texts(2);
    texts[0] = String(u"a");
    texts[1] = String(u"b");
    Array<String> longer = texts.Resize(4);
    EXPECT_EQ(longer.Length(), 4);
    EXPECT_EQ(longer[1], String(u"b"));
    EXPECT_EQ(longer[3], String());
    Array<String> shorter = texts.Resize(1);
    EXPECT_EQ(shorter.Length(), 1);
    EXPECT_EQ(shorter[0], String(u"a"));
}

TEST(Object, IdentityEqualityAndOrder) {
    auto* a = new Object;
    auto* b = new Object;
    EXPECT_TRUE(a->Equals(a));
    EXPECT_FALSE(a->Equals(b));
    EXPECT_EQ(a->Compare(a), 0);
    EXPECT_EQ(a->Compare(b), -b->Compare(a));
    EXPECT_NE(a->Compare(b), 0);
    EXPECT_EQ(a->debug(), String(u"+Object\n"));
}

} // namespace
