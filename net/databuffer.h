// Data buffers: fixed-size blocks of raw bytes with bulk copies and text in two encodings ("utf8",
// "ascii"). Sockets send from and receive into them; their bytes are the only part of a collected
// object a socket worker thread may touch.
//
// Bytes read back are signed (-128..127); byte writes keep the low 8 bits of the value. Every bulk
// operation clamps its count to what both sides can hold, and a negative address copies nothing.
#pragma once

#include "runtime/object.h"

class VxThread;

// The native part: the bytes and their count.
class VxDataBuffer : public Object {
  public:
    unsigned char* data = nullptr; // malloc'ed; null when empty
    int length = 0;

    ~VxDataBuffer() override;

    // False when the buffer already holds memory or the allocation fails; adopts `bytes` when given.
    bool _New(int size, unsigned char* bytes = nullptr);
    // The whole file through the host's loader; false when the buffer is in use or nothing loaded.
    bool _Load(String path);
    // The same load, handing the buffer to `thread` as its result when it succeeds.
    void _LoadAsync(String path, VxThread* thread);
    void Discard();

    int Length() const { return length; }
};

class c_DataBuffer : public VxDataBuffer {
  public:
    c_DataBuffer* m_new(int size);
    // Null when nothing could be loaded. The path goes to the loader as given.
    static c_DataBuffer* m_Load(String path);

    void p_PokeBytes(int address, const Array<int>& bytes, int offset, int count);
    void p_PeekBytes(int address, const Array<int>& bytes, int offset, int count);
    Array<int> p_PeekBytes2(int address, int count);
    // Overlapping ranges within one buffer copy correctly.
    void p_CopyBytes(int address, c_DataBuffer* dst, int dstAddress, int count);

    // The number of encoded bytes ("utf8") or characters ("ascii"), even when fewer fitted.
    // Peeking bytes that are not valid UTF-8 as "utf8" gives them undecoded, as "ascii" does.
    int p_PokeString(int address, const String& text, const String& encoding);
    String p_PeekString(int address, int count, const String& encoding);
    String p_PeekString2(int address, const String& encoding);
};

// "utf8" decoding of raw bytes: 1- to 3-byte sequences; when any byte does not fit, the whole range
// comes back one Latin-1 character per byte, as the string decoder gives it.
String vx_databuffer_DecodeUtf8(const unsigned char* bytes, int count);
