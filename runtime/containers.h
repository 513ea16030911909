// Generic collections on the collected heap: a growable stack (and a string stack that joins), and
// an int-keyed red-black map. Every reference they store goes through the barrier.
#pragma once

#include "object.h"

template <class T> class c_Stack : public Object {
  public:
    // Written into slots that fall out of use, so that they keep nothing alive.
    static inline const T m_NIL{};

    Array<T> data;
    int length = 0;

    c_Stack* m_new() { return this; }
    c_Stack* m_new(const Array<T>& values) {
        gc_assign(data, values.Resize(values.Length()));
        length = values.Length();
        return this;
    }

    void p_Push(const T& value) {
        if (length == data.Length()) grow(length * 2 + 10);
        store(data[length], value);
        ++length;
    }
    void p_Push2(const Array<T>& values, int offset, int count) {
        for (int i = 0; i < count; ++i) p_Push(values[offset + i]);
    }
    void p_Push3(const Array<T>& values, int offset) { p_Push2(values, offset, values.Length() - offset); }

    Array<T> p_ToArray() const { return data.Resize(length); }

    void p_Clear() {
        for (int i = 0; i < length; ++i) store(data[i], m_NIL);
        length = 0;
    }

    // Shrinking clears the vacated slots; growing past the capacity reallocates.
    void p_Length(int n) {
        if (n < length) {
            for (int i = n; i < length; ++i) store(data[i], m_NIL);
        } else if (n > data.Length()) {
            grow(std::max(length * 2 + 10, n));
        }
        length = n;
    }
    int p_Length2() const { return length; }
    T p_Get(int index) const { return data[index]; }

    bool p_Equals(const T& a, const T& b) const { return a == b; }
    bool p_Contains(const T& value) const {
        for (int i = 0; i < length; ++i) {
            if (p_Equals(data[i], value)) return true;
        }
        return false;
    }

    void mark() override { gc_mark_q(data); }

  private:
    void grow(int capacity) { gc_assign(data, data.Resize(capacity)); }
    // Numbers and strings are not collected; references and arrays go through the barrier.
    static void store(T& slot, const T& value) {
        if constexpr (std::is_arithmetic_v<T> || std::is_same_v<T, String>)
            slot = value;
        else
            gc_assign(slot, value);
    }
};

class c_StringStack : public c_Stack<String> {
  public:
    c_StringStack* m_new() { return this; }
    c_StringStack* m_new(const Array<String>& values) {
        c_Stack<String>::m_new(values);
        return this;
    }
    String p_Join(const String& separator) const { return separator.Join(p_ToArray()); }
};

template <class V> class c_Node : public Object {
  public:
    int key = 0;
    c_Node* right = nullptr;
    c_Node* left = nullptr;
    V value{};
    int color = 0; // -1 red, 1 black
    c_Node* parent = nullptr;

    c_Node* m_new(int k, V v, int c, c_Node* p) {
        key = k;
        gc_assign(value, v);
        color = c;
        gc_assign(parent, p);
        return this;
    }

    void mark() override {
        gc_mark_q(right);
        gc_mark_q(left);
        gc_mark_q(value);
        gc_mark_q(parent);
    }
};

template <class V> class c_Map : public Object {
  public:
    using Node = c_Node<V>;
    static constexpr int red = -1;
    static constexpr int black = 1;

    Node* root = nullptr;

    virtual int p_Compare(int a, int b) = 0;

    Node* p_FindNode(int key) {
        Node* node = root;
        while (node) {
            int cmp = p_Compare(key, node->key);
            if (cmp == 0) return node;
            node = cmp > 0 ? node->right : node->left;
        }
        return nullptr;
    }
    bool p_Contains(int key) { return p_FindNode(key) != nullptr; }

    // False when the key was present (its value replaced), true when a node was added.
    bool p_Set(int key, V value) {
        Node* node = root;
        Node* parent = nullptr;
        int cmp = 0;
        while (node) {
            parent = node;
            cmp = p_Compare(key, node->key);
            if (cmp == 0) {
                gc_assign(node->value, value);
                return false;
            }
            node = cmp > 0 ? node->right : node->left;
        }
        node = (new Node)->m_new(key, value, red, parent);
        if (!parent) {
            gc_assign(root, node);
            return true;
        }
        if (cmp > 0)
            gc_assign(parent->right, node);
        else
            gc_assign(parent->left, node);
        p_InsertFixup(node);
        return true;
    }
    bool p_Insert(int key, V value) { return p_Set(key, value); }

    void mark() override { gc_mark_q(root); }

  private:
    static bool is_red(Node* n) { return n && n->color == red; }

    void p_InsertFixup(Node* node) {
        while (is_red(node->parent) && node->parent->parent) {
            Node* parent = node->parent;
            Node* grand = parent->parent;
            bool parent_is_left = parent == grand->left;
            Node* uncle = parent_is_left ? grand->right : grand->left;
            if (is_red(uncle)) {
                parent->color = black;
                uncle->color = black;
                grand->color = red;
                node = grand;
                continue;
            }
            if (node == (parent_is_left ? parent->right : parent->left)) {
                node = parent;
                parent_is_left ? p_RotateLeft(node) : p_RotateRight(node);
                parent = node->parent;
            }
            parent->color = black;
            grand->color = red;
            parent_is_left ? p_RotateRight(grand) : p_RotateLeft(grand);
        }
        root->color = black;
    }

    // Hangs `child` where `node` was under node's parent (or at the root).
    void replace_child(Node* node, Node* child) {
        gc_assign(child->parent, node->parent);
        if (!node->parent)
            gc_assign(root, child);
        else if (node == node->parent->left)
            gc_assign(node->parent->left, child);
        else
            gc_assign(node->parent->right, child);
    }

    void p_RotateLeft(Node* node) {
        Node* child = node->right;
        gc_assign(node->right, child->left);
        if (child->left) gc_assign(child->left->parent, node);
        replace_child(node, child);
        gc_assign(child->left, node);
        gc_assign(node->parent, child);
    }

    void p_RotateRight(Node* node) {
        Node* child = node->left;
        gc_assign(node->left, child->right);
        if (child->right) gc_assign(child->right->parent, node);
        replace_child(node, child);
        gc_assign(child->right, node);
        gc_assign(node->parent, child);
    }
};

template <class V> class c_IntMap : public c_Map<V> {
  public:
    c_IntMap* m_new() { return this; }
    // The sign of a - b, without the overflow of the subtraction.
    int p_Compare(int a, int b) override { return (a > b) - (a < b); }
};
