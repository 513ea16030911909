#include "net/databuffer.h"

#include "host/console.h"
#include "host/game.h"
#include "net/thread.h"

#include <algorithm>
#include <cstdint>
#include <cstdlib>
#include <cstring>
#include <string>

namespace {

const String utf8Name(u"utf8");
const String asciiName(u"ascii");

// How many of `count` bytes fit from `at` in a block of `size` bytes; never negative.
int fit(int at, int count, int size) {
    if (at < 0 || count <= 0 || at >= size) return 0;
    return std::min(count, size - at);
}

[[noreturn]] void invalidEncoding(const String& encoding) {
    vxError(String(u"Invalid string encoding:") + encoding);
}

} // namespace

VxDataBuffer::~VxDataBuffer() { Discard(); }

bool VxDataBuffer::_New(int size, unsigned char* bytes) {
    if (data || size < 0) return false;
    if (!bytes && size > 0) {
        bytes = static_cast<unsigned char*>(std::malloc(std::size_t(size)));
        if (!bytes) return false;
        gc_ext_malloced(size);
    }
    data = bytes;
    length = bytes ? size : 0;
    return true;
}

bool VxDataBuffer::_Load(String path) {
    if (data) return false;
    int size = 0;
    unsigned char* bytes = VxGame::_game->LoadData(path, &size);
    if (!bytes) return false;
    data = bytes;
    length = size;
    return true;
}

void VxDataBuffer::_LoadAsync(String path, VxThread* thread) {
    if (_Load(path)) thread->SetResult(this);
}

void VxDataBuffer::Discard() {
    std::free(data);
    data = nullptr;
    length = 0;
}

c_DataBuffer* c_DataBuffer::m_new(int size) {
    if (!_New(size)) vxError(String(u"Allocate DataBuffer failed"));
    return this;
}

c_DataBuffer* c_DataBuffer::m_Load(String path) {
    auto* buffer = new c_DataBuffer;
    return buffer->_Load(path) ? buffer : nullptr;
}

void c_DataBuffer::p_PokeBytes(int address, const Array<int>& bytes, int offset, int count) {
    count = fit(offset, fit(address, count, length), bytes.Length());
    for (int i = 0; i < count; ++i) data[address + i] = static_cast<unsigned char>(bytes[offset + i]);
}

void c_DataBuffer::p_PeekBytes(int address, const Array<int>& bytes, int offset, int count) {
    count = fit(offset, fit(address, count, length), bytes.Length());
    for (int i = 0; i < count; ++i) bytes[offset + i] = int8_t(data[address + i]);
}

Array<int> c_DataBuffer::p_PeekBytes2(int address, int count) {
    Array<int> bytes(fit(address, count, length));
    p_PeekBytes(address, bytes, 0, bytes.Length());
    return bytes;
}

void c_DataBuffer::p_CopyBytes(int address, c_DataBuffer* dst, int dstAddress, int count) {
    count = fit(dstAddress, fit(address, count, length), dst->length);
    if (count > 0) std::memmove(dst->data + dstAddress, data + address, std::size_t(count));
}

int c_DataBuffer::p_PokeString(int address, const String& text, const String& encoding) {
    if (encoding == utf8Name) {
        std::string bytes;
        text.ToUtf8(bytes);
        int count = fit(address, int(bytes.size()), length);
        if (count > 0) std::memcpy(data + address, bytes.data(), std::size_t(count));
        return int(bytes.size());
    }
    if (encoding == asciiName) {
        int count = fit(address, text.Length(), length);
        for (int i = 0; i < count; ++i) data[address + i] = static_cast<unsigned char>(text[i]);
        return text.Length();
    }
    invalidEncoding(encoding);
}

String c_DataBuffer::p_PeekString(int address, int count, const String& encoding) {
    bool utf8 = encoding == utf8Name;
    if (!utf8 && encoding != asciiName) invalidEncoding(encoding);
    count = fit(address, count, length);
    if (count == 0) return String();
    const unsigned char* bytes = data + address;
    return utf8 ? vx_databuffer_DecodeUtf8(bytes, count) : String::FromLatin1(bytes, std::size_t(count));
}

String vx_databuffer_DecodeUtf8(const unsigned char* bytes, int count) {
    if (count <= 0) return String();
    std::u16string units;
    if (!vx_utf8_decode(bytes, std::size_t(count), units))
        return String::FromLatin1(bytes, std::size_t(count));
    return String(units.data(), int(units.size()));
}

String c_DataBuffer::p_PeekString2(int address, const String& encoding) {
    return p_PeekString(address, length - address, encoding);
}
