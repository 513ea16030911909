// String: an immutable text of UTF-16 units in one counted block shared by every copy.
// Blocks are never changed after construction, so sharing them is safe; all empty texts share one
// static block. Counts are not atomic: strings belong to the main thread.
#pragma once

#include <cstddef>
#include <cstdint>
#include <cstdio>
#include <string>

template <class T> class Array;

class String {
  public:
    using Char = char16_t;

    String() : rep(&nullRep) {}
    String(const String& s) : rep(s.rep) { retain(); }
    String(String&& s) noexcept : rep(s.rep) { s.rep = &nullRep; }
    ~String() { release(); }
    String& operator=(String s) noexcept {
        std::swap(rep, s.rep);
        return *this;
    }

    String(const Char* units, int length);
    // Literals: the length is known at compile time, so nothing is scanned.
    template <std::size_t N> String(const Char (&literal)[N]) : String(literal, int(N - 1)) {}
    // Narrow NUL-terminated text, one character per byte.
    explicit String(const char* narrow);
    explicit String(int value);
    explicit String(float value);

    static String FromChar(int code);
    // Reads the whole file and decodes it (byte-order mark, UTF-8, Latin-1 fallback).
    static String Load(std::FILE* file);
    // Decodes bytes by the same rules as Load.
    static String FromBytes(const unsigned char* bytes, std::size_t count);
    // One character per byte, with the byte's value.
    static String FromLatin1(const unsigned char* bytes, std::size_t count);

    int Length() const { return rep->length; }
    int operator[](int index) const { return rep->units()[index]; }
    const Char* Data() const { return rep->units(); }
    // True when both share one block (used to prove that an operation did not copy).
    bool SharesWith(const String& other) const { return rep == other.rep; }

    String operator+(const String& other) const;
    String& operator+=(const String& other) { return *this = *this + other; }
    bool operator==(const String& other) const;
    bool operator!=(const String& other) const { return !(*this == other); }

    String Slice(int from) const { return Slice(from, Length()); }
    String Slice(int from, int to) const;
    int Find(const String& sub, int start = 0) const;
    bool StartsWith(const String& prefix) const;
    bool EndsWith(const String& suffix) const;
    String Replace(const String& find, const String& replacement) const;
    Array<String> Split(const String& separator) const;
    String Join(const Array<String>& parts) const;
    String ToUpper() const;
    String ToLower() const;
    int ToInt() const;

    // UTF-8, one 16-bit unit at a time (surrogate halves encoded one by one) into `out`, which the
    // caller keeps to reuse its capacity.
    void ToUtf8(std::string& out) const;

  private:
    struct Rep {
        int refs;
        int length;
        Char* units() { return reinterpret_cast<Char*>(this + 1); }
    };
    static_assert(sizeof(Rep) == 8);

    explicit String(Rep* r) : rep(r) {}
    static Rep* alloc(int length);
    static Rep* copyNarrow(const char* narrow);
    void retain() const {
        if (rep != &nullRep) ++rep->refs;
    }
    void release() const;
    template <class F> String mapUnits(F map) const;

    static Rep nullRep;
    Rep* rep;
};

// Appends the 1-3 byte UTF-8 form of one 16-bit unit; returns the number of bytes written.
int vx_utf8_encode(String::Char unit, unsigned char* out);
// Decodes 1-, 2- and 3-byte UTF-8 sequences; false (and `out` unspecified) on anything else.
bool vx_utf8_decode(const unsigned char* bytes, std::size_t count, std::u16string& out);

// A NUL-terminated narrow copy for C library calls: each unit keeps its low 8 bits.
class CString {
  public:
    explicit CString(const String& s);
    const char* c_str() const { return text.c_str(); }
    operator const char*() const { return text.c_str(); }

  private:
    std::string text;
};
