#include "string.h"

#include "array.h"

#include <climits>
#include <cstdlib>
#include <cstring>
#include <cwctype>
#include <vector>

String::Rep String::nullRep{1, 0};

String::Rep* String::alloc(int length) {
    auto* r = static_cast<Rep*>(std::malloc(sizeof(Rep) + sizeof(Char) * std::size_t(length)));
    r->refs = 1;
    r->length = length;
    return r;
}

void String::release() const {
    if (rep != &nullRep && --rep->refs == 0) std::free(rep);
}

String::String(const Char* units, int length) : rep(&nullRep) {
    if (length <= 0) return;
    rep = alloc(length);
    std::memcpy(rep->units(), units, sizeof(Char) * std::size_t(length));
}

String::Rep* String::copyNarrow(const char* narrow) {
    int length = int(std::strlen(narrow));
    if (length == 0) return &nullRep;
    Rep* r = alloc(length);
    for (int i = 0; i < length; ++i) r->units()[i] = Char(static_cast<unsigned char>(narrow[i]));
    return r;
}

String::String(const char* narrow) : rep(copyNarrow(narrow)) {}

String::String(int value) : rep(&nullRep) {
    char buf[16];
    std::snprintf(buf, sizeof buf, "%i", value);
    rep = copyNarrow(buf);
}

String::String(float value) : rep(&nullRep) {
    char buf[64];
    std::snprintf(buf, sizeof buf, "%.17lg", double(value));
    // Integral values keep a decimal point so that they read back as floats.
    if (!std::strpbrk(buf, ".e")) std::strcat(buf, ".0");
    rep = copyNarrow(buf);
}

String String::FromChar(int code) {
    Char unit = Char(code);
    return String(&unit, 1);
}

String String::Load(std::FILE* file) {
    std::vector<unsigned char> bytes;
    unsigned char block[4096];
    for (;;) {
        std::size_t n = std::fread(block, 1, sizeof block, file);
        bytes.insert(bytes.end(), block, block + n);
        if (n < sizeof block) break;
    }
    return FromBytes(bytes.data(), bytes.size());
}

namespace {

String decode_utf16(const unsigned char* p, std::size_t count, bool big_endian) {
    std::u16string units;
    units.reserve(count / 2);
    for (std::size_t i = 0; i + 1 < count; i += 2) {
        unsigned hi = big_endian ? p[i] : p[i + 1];
        unsigned lo = big_endian ? p[i + 1] : p[i];
        units.push_back(char16_t(hi << 8 | lo));
    }
    return String(units.data(), int(units.size()));
}

bool is_continuation(unsigned char b) { return (b & 0xC0) == 0x80; }

} // namespace

String String::FromLatin1(const unsigned char* bytes, std::size_t count) {
    std::u16string units(bytes, bytes + count);
    return String(units.data(), int(units.size()));
}

bool vx_utf8_decode(const unsigned char* p, std::size_t count, std::u16string& out) {
    out.clear();
    out.reserve(count);
    for (std::size_t i = 0; i < count;) {
        unsigned b = p[i];
        if (b < 0x80) {
            out.push_back(char16_t(b));
            i += 1;
        } else if ((b & 0xE0) == 0xC0 && i + 1 < count && is_continuation(p[i + 1])) {
            out.push_back(char16_t((b & 0x1F) << 6 | (p[i + 1] & 0x3F)));
            i += 2;
        } else if ((b & 0xF0) == 0xE0 && i + 2 < count && is_continuation(p[i + 1]) &&
                   is_continuation(p[i + 2])) {
            out.push_back(char16_t((b & 0x0F) << 12 | (p[i + 1] & 0x3F) << 6 | (p[i + 2] & 0x3F)));
            i += 3;
        } else {
            return false;
        }
    }
    return true;
}

int vx_utf8_encode(String::Char unit, unsigned char* out) {
    unsigned c = unit;
    if (c < 0x80) {
        out[0] = static_cast<unsigned char>(c);
        return 1;
    }
    if (c < 0x800) {
        out[0] = static_cast<unsigned char>(0xC0 | c >> 6);
        out[1] = static_cast<unsigned char>(0x80 | (c & 0x3F));
        return 2;
    }
    out[0] = static_cast<unsigned char>(0xE0 | c >> 12);
    out[1] = static_cast<unsigned char>(0x80 | (c >> 6 & 0x3F));
    out[2] = static_cast<unsigned char>(0x80 | (c & 0x3F));
    return 3;
}

String String::FromBytes(const unsigned char* p, std::size_t count) {
    if (count == 0) return String();
    if (count >= 2 && p[0] == 0xFE && p[1] == 0xFF) return decode_utf16(p + 2, count - 2, true);
    if (count >= 2 && p[0] == 0xFF && p[1] == 0xFE) return decode_utf16(p + 2, count - 2, false);
    if (count >= 3 && p[0] == 0xEF && p[1] == 0xBB && p[2] == 0xBF) {
        p += 3;
        count -= 3;
    }
    std::u16string units;
    if (!vx_utf8_decode(p, count, units)) return FromLatin1(p, count);
    return String(units.data(), int(units.size()));
}

String String::operator+(const String& other) const {
    if (other.Length() == 0) return *this;
    if (Length() == 0) return other;
    Rep* r = alloc(Length() + other.Length());
    std::memcpy(r->units(), Data(), sizeof(Char) * std::size_t(Length()));
    std::memcpy(r->units() + Length(), other.Data(), sizeof(Char) * std::size_t(other.Length()));
    return String(r);
}

bool String::operator==(const String& other) const {
    return rep == other.rep || (Length() == other.Length() &&
                                std::memcmp(Data(), other.Data(), sizeof(Char) * std::size_t(Length())) == 0);
}

String String::Slice(int from, int to) const {
    int length = Length();
    if (from < 0) {
        from += length;
        if (from < 0) from = 0;
    } else if (from > length) {
        from = length;
    }
    if (to < 0) {
        to += length;
    } else if (to > length) {
        to = length;
    }
    if (from >= to) return String();
    if (from == 0 && to == length) return *this;
    return String(Data() + from, to - from);
}

int String::Find(const String& sub, int start) const {
    int last = Length() - sub.Length();
    for (int i = start < 0 ? 0 : start; i <= last; ++i) {
        if (std::memcmp(Data() + i, sub.Data(), sizeof(Char) * std::size_t(sub.Length())) == 0) return i;
    }
    return -1;
}

bool String::StartsWith(const String& prefix) const {
    return prefix.Length() <= Length() &&
           std::memcmp(Data(), prefix.Data(), sizeof(Char) * std::size_t(prefix.Length())) == 0;
}

bool String::EndsWith(const String& suffix) const {
    int offset = Length() - suffix.Length();
    return offset >= 0 &&
           std::memcmp(Data() + offset, suffix.Data(), sizeof(Char) * std::size_t(suffix.Length())) == 0;
}

String String::Replace(const String& find, const String& replacement) const {
    // An empty search would match at every index without ever moving on.
    if (find.Length() == 0) return *this;
    int count = 0;
    for (int i = Find(find); i >= 0; i = Find(find, i + find.Length())) ++count;
    if (count == 0) return *this;
    Rep* r = alloc(Length() + count * (replacement.Length() - find.Length()));
    Char* out = r->units();
    int copied = 0;
    for (int i = Find(find); i >= 0; i = Find(find, copied)) {
        out = std::copy(Data() + copied, Data() + i, out);
        out = std::copy(replacement.Data(), replacement.Data() + replacement.Length(), out);
        copied = i + find.Length();
    }
    std::copy(Data() + copied, Data() + Length(), out);
    return String(r);
}

Array<String> String::Split(const String& separator) const {
    if (separator.Length() == 0) {
        Array<String> chars(Length());
        for (int i = 0; i < Length(); ++i) chars[i] = String(Data() + i, 1);
        return chars;
    }
    int count = 1;
    for (int i = Find(separator); i >= 0; i = Find(separator, i + separator.Length())) ++count;
    if (count == 1) return Array<String>(this, 1);
    Array<String> parts(count);
    int from = 0;
    for (int k = 0; k < count; ++k) {
        int at = k + 1 < count ? Find(separator, from) : Length();
        parts[k] = Slice(from, at);
        from = at + separator.Length();
    }
    return parts;
}

String String::Join(const Array<String>& parts) const {
    int n = parts.Length();
    if (n == 0) return String();
    if (n == 1) return parts[0];
    int length = Length() * (n - 1);
    for (const String& part : parts) length += part.Length();
    Rep* r = alloc(length);
    Char* out = r->units();
    for (int k = 0; k < n; ++k) {
        if (k > 0) out = std::copy(Data(), Data() + Length(), out);
        out = std::copy(parts[k].Data(), parts[k].Data() + parts[k].Length(), out);
    }
    return String(r);
}

template <class F> String String::mapUnits(F map) const {
    for (int i = 0; i < Length(); ++i) {
        Char mapped = Char(map(wint_t(Data()[i])));
        if (mapped == Data()[i]) continue;
        // First change: copy once, then map the rest in place.
        Rep* r = alloc(Length());
        std::copy(Data(), Data() + Length(), r->units());
        r->units()[i] = mapped;
        for (int j = i + 1; j < Length(); ++j) r->units()[j] = Char(map(wint_t(Data()[j])));
        return String(r);
    }
    return *this;
}

String String::ToUpper() const {
    return mapUnits([](wint_t c) { return std::towupper(c); });
}

String String::ToLower() const {
    return mapUnits([](wint_t c) { return std::towlower(c); });
}

int String::ToInt() const {
    // atoi's grammar over the first 63 units narrowed to bytes, saturating instead of overflowing.
    int n = Length() < 63 ? Length() : 63;
    int i = 0;
    auto byte = [&](int k) { return static_cast<unsigned char>(Data()[k]); };
    while (i < n && (byte(i) == ' ' || (byte(i) >= '\t' && byte(i) <= '\r'))) ++i;
    bool negative = false;
    if (i < n && (byte(i) == '+' || byte(i) == '-')) negative = byte(i++) == '-';
    long long value = 0;
    for (; i < n && byte(i) >= '0' && byte(i) <= '9'; ++i) {
        value = value * 10 + (byte(i) - '0');
        if (value > INT_MAX + 1LL) value = INT_MAX + 1LL;
    }
    if (negative) return int(-value);
    return value > INT_MAX ? INT_MAX : int(value);
}

void String::ToUtf8(std::string& out) const {
    out.clear();
    unsigned char bytes[3];
    for (int i = 0; i < Length(); ++i)
        out.append(reinterpret_cast<char*>(bytes), std::size_t(vx_utf8_encode(Data()[i], bytes)));
}

CString::CString(const String& s) : text(std::size_t(s.Length()), '\0') {
    for (int i = 0; i < s.Length(); ++i) text[std::size_t(i)] = static_cast<char>(s.Data()[i] & 0xFF);
}
