// Array<T>: a fixed-length array on the collected heap, held through a handle. Every element type
// has one static empty array (colour 3: never queued or freed) shared by all empty arrays.
// Indexing is unchecked; callers keep indices in range.
#pragma once

#include "gc.h"
#include "string.h"

#include <algorithm>
#include <memory>
#include <type_traits>

template <class T> class Array;

// How an element or field value reaches the collector: references and arrays are collected,
// numbers, booleans and strings are not.
template <class T> inline gc_object* gc_ref(T* p) { return p ? gc_obj(p) : nullptr; }
template <class T> inline gc_object* gc_ref(const Array<T>& a) { return a.rep; }

template <class T> class Array {
  public:
    struct Rep final : gc_object {
        int length;

        Rep() {}
        explicit Rep(gc_static_tag t) : gc_object(t), length(0) {}
        ~Rep() override { std::destroy_n(data(), length); }
        void mark() override {
            if constexpr (std::is_pointer_v<T> || is_array_v) {
                for (T& e : *this) gc_mark_now(gc_ref(e));
            }
        }
        T* data() { return reinterpret_cast<T*>(reinterpret_cast<char*>(this) + data_offset); }
        T* begin() { return data(); }
        T* end() { return data() + length; }
    };

    Array() : rep(&nullRep) {}
    // n elements, each zero, false, null or the empty text.
    explicit Array(int n) : rep(n > 0 ? create(n) : &nullRep) {
        std::uninitialized_value_construct_n(rep->data(), n > 0 ? n : 0);
    }
    Array(const T* src, int n) : rep(n > 0 ? create(n) : &nullRep) {
        std::uninitialized_copy_n(src, n > 0 ? n : 0, rep->data());
    }

    int Length() const { return rep->length; }
    T& operator[](int i) const { return rep->data()[i]; }
    T* begin() const { return rep->begin(); }
    T* end() const { return rep->end(); }

    // A new array of n elements: the first ones copied, the rest empty.
    Array Resize(int n) const {
        Array resized(n);
        std::copy_n(begin(), std::max(0, std::min(n, Length())), resized.begin());
        return resized;
    }

    bool operator==(const Array& other) const { return rep == other.rep; }

    Rep* rep;

  private:
    static constexpr bool is_array_v =
        !std::is_arithmetic_v<T> && !std::is_pointer_v<T> && !std::is_same_v<T, String>;
    static constexpr std::size_t data_offset = (sizeof(Rep) + alignof(T) - 1) / alignof(T) * alignof(T);

    static Rep* create(int n) {
        void* block = gc_object_alloc(int(data_offset + sizeof(T) * std::size_t(n)));
        Rep* r = ::new (block) Rep;
        r->length = n;
        return r;
    }

    static Rep nullRep;
};

template <class T> typename Array<T>::Rep Array<T>::nullRep{gc_static_tag{}};

template <class T> inline void gc_mark_q(const Array<T>& a) {
    if (gc_is_unmarked(a.rep)) gc_grey(a.rep);
}

// Stores an array into a field or element through the barrier.
template <class T> inline const Array<T>& gc_assign(Array<T>& ref, const Array<T>& value) {
    gc_mark_q(value);
    return ref = value;
}
