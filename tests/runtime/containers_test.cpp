#include "runtime/containers.h"

#include <gtest/gtest.h>

namespace {

String S(const char* s) { return String(s); }

TEST(Stack, GrowsByTwiceTheLengthPlusTen) {
    auto* stack = (new c_Stack<String>)->m_new();
    stack->p_Push(S("0"));
    EXPECT_EQ(stack->data.Length(), 10);
    for (int i = 1; i < 11; ++i) stack->p_Push(String(i));
    EXPECT_EQ(stack->data.Length(), 30);
    EXPECT_EQ(stack->p_Length2(), 11);
    EXPECT_EQ(stack->p_Get(10), S("10"));
    EXPECT_EQ(stack->p_ToArray().Length(), 11);
}

TEST(Stack, SetLengthClearsVacatedSlotsAndGrows) {
    auto* stack = (new c_Stack<String>)->m_new();
    String kept = S("kept");
    for (int i = 0; i < 5; ++i) stack->p_Push(String(i) + kept);
    stack->p_Length(2);
    EXPECT_EQ(stack->p_Length2(), 2);
    for (int i = 2; i < 5; ++i) EXPECT_EQ(stack->data[i], String()) << i;
    stack->p_Length(100);
    EXPECT_EQ(stack->data.Length(), 100);
    EXPECT_EQ(stack->p_Get(99), String());
    stack->p_Clear();
    EXPECT_EQ(stack->p_Length2(), 0);
    EXPECT_EQ(stack->data[0], String());
    EXPECT_EQ(stack->data.Length(), 100);
}

TEST(Stack, PushSlicesAndConstructFromArray) {
    Array<String> parts = S("a,b,c,d").Split(S(","));
    auto* stack = (new c_Stack<String>)->m_new(parts);
    EXPECT_NE(stack->data.rep, parts.rep) << "the stack owns a copy";
    stack->p_Push2(parts, 1, 2);
    stack->p_Push3(parts, 3);
    EXPECT_EQ(S("").Join(stack->p_ToArray()), S("abcdbcd"));
    EXPECT_EQ((new c_Stack<String>)->m_new()->p_ToArray().rep, Array<String>().rep);
}

TEST(Stack, ContainsComparesIdentity) {
    auto* stack = (new c_Stack<Object*>)->m_new();
    auto* a = new Object;
    stack->p_Push(a);
    EXPECT_TRUE(stack->p_Contains(a));
    EXPECT_FALSE(stack->p_Contains(new Object));
}

TEST(StringStack, Join) {
    auto* stack = (new c_StringStack)->m_new();
    EXPECT_EQ(stack->p_Join(S(",")), String());
    String only = S("only");
    stack->p_Push(only);
    EXPECT_TRUE(stack->p_Join(S(",")).SharesWith(only));
    stack->p_Push(S("two"));
    EXPECT_EQ(stack->p_Join(S(", ")), S("only, two"));
}

// Checks the red-black properties: red nodes have black children, every path has the same number
// of black nodes, parents link back, keys are ordered.
int check_subtree(c_Node<Object*>* node, c_Node<Object*>* parent, long lo, long hi) {
    if (!node) return 1;
    EXPECT_EQ(node->parent, parent);
    EXPECT_GT(node->key, lo);
    EXPECT_LT(node->key, hi);
    if (node->color == -1) {
        EXPECT_TRUE(!node->left || node->left->color == 1);
        EXPECT_TRUE(!node->right || node->right->color == 1);
    }
    int left = check_subtree(node->left, node, lo, node->key);
    int right = check_subtree(node->right, node, node->key, hi);
    EXPECT_EQ(left, right);
    return left + (node->color == 1 ? 1 : 0);
}

TEST(IntMap, SetFindsReplacesAndStaysBalanced) {
    auto* map = (new c_IntMap<Object*>)->m_new();
    auto* two = new Object;
    EXPECT_TRUE(map->p_Set(3, new Object));
    EXPECT_TRUE(map->p_Set(1, new Object));
    EXPECT_TRUE(map->p_Set(2, two));
    for (int key : {1, 2, 3}) EXPECT_TRUE(map->p_Contains(key)) << key;
    EXPECT_FALSE(map->p_Contains(4));
    auto* replacement = new Object;
    EXPECT_FALSE(map->p_Set(2, replacement));
    EXPECT_EQ(map->p_FindNode(2)->value, replacement);

    for (int i = 0; i < 500; ++i) map->p_Insert((i * 7919) % 1000 + 10, nullptr);
    EXPECT_EQ(map->root->color, 1);
    check_subtree(map->root, nullptr, -2147483649L, 2147483648L);
    EXPECT_TRUE(map->p_Contains(10 + 7919 % 1000));
}

TEST(IntMap, ExtremeKeysCompareWithoutOverflow) {
    auto* map = (new c_IntMap<Object*>)->m_new();
    map->p_Set(2147483647, nullptr);
    map->p_Set(-2147483647 - 1, nullptr);
    map->p_Set(0, nullptr);
    EXPECT_TRUE(map->p_Contains(2147483647));
    EXPECT_TRUE(map->p_Contains(-2147483647 - 1));
}

} // namespace
