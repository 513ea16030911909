#include "net/http.h"

#include <algorithm>

namespace {

const String ascii(u"ascii");

// Not empty, and nothing but visible ASCII (and spaces, when allowed): no character that could end
// a word or a line of the request early, nor one that "ascii" would cut to its low 8 bits.
bool isPlain(const String& text, bool spaces) {
    for (int i = 0; i < text.Length(); ++i) {
        int c = text[i];
        if (c < 0x20 || c > 0x7E || (c == 0x20 && !spaces)) return false;
    }
    return text.Length() > 0;
}

bool isNumber(const String& text) {
    for (int i = 0; i < text.Length(); ++i) {
        if (text[i] < '0' || text[i] > '9') return false;
    }
    return text.Length() > 0;
}

// The byte count without a UTF-8 sequence that the end cuts short.
int wholeSequences(const std::vector<unsigned char>& bytes) {
    int count = int(bytes.size());
    for (int back = 1; back <= std::min(2, count); ++back) {
        unsigned char lead = bytes[std::size_t(count - back)];
        if ((lead & 0xC0) == 0x80) continue;
        int length = (lead & 0xE0) == 0xC0 ? 2 : (lead & 0xF0) == 0xE0 ? 3 : 1;
        return length > back ? count - back : count;
    }
    return count;
}

} // namespace

c_HttpRequest* c_HttpRequest::m_new() {
    gc_assign(m_sendBuffer, (new c_DataBuffer)->m_new(4096));
    gc_assign(m_receiveBuffer, (new c_DataBuffer)->m_new(16384));
    return this;
}

c_HttpRequest* c_HttpRequest::m_new2(const String& method, const String& url,
                                     c_IOnHttpRequestComplete* listener) {
    m_new();
    p_Open(method, url, listener);
    return this;
}

void c_HttpRequest::p_Open(const String& method, const String& url, c_IOnHttpRequestComplete* listener) {
    m_method = method;
    gc_assign(m_url, (new c_Url)->m_new(url, String(u"http"), 80));
    gc_assign(m_listener, listener);
    m_status = -1;
    gc_assign(m_bodyBuffer, static_cast<c_DataBuffer*>(nullptr));
    m_bodyLength = 0;
    m_inBody = false;
    body.clear();
    m_responseText = String();
    m_bytesReceived = 0;
    m_headerBytes = 0;
    gc_assign(m_headerLines, (new c_StringStack)->m_new());
    m_headerLines->p_Push(method + String(u" ") + m_url->p_FullPath() + String(u" HTTP/1.0"));
    m_headerLines->p_Push(String(u"Host: ") + m_url->p_Domain());
}

void c_HttpRequest::p_Send() {
    gc_assign(m_socket, (new c_Socket)->m_new(String(u"stream")));
    m_socket->p_SetTimeLimit(m_timeLimit);
    // The empty host never connects: a request that must not go out fails as an unreachable host
    // does, on a later update, so the listener hears the way it always does.
    m_socket->p_ConnectAsync(p_IsSendable() ? m_url->p_Domain() : String(), m_url->p_Port(), this);
}

void c_HttpRequest::p_Send2(const String& data, const String& mimeType, const String& encoding) {
    gc_assign(m_bodyBuffer, (new c_DataBuffer)->m_new(data.Length() * 3));
    m_bodyLength = m_bodyBuffer->p_PokeString(0, data, encoding);
    if (mimeType.Length() > 0) m_headerLines->p_Push(String(u"Content-Type: ") + mimeType);
    m_headerLines->p_Push(String(u"Content-Length: ") + String(m_bodyLength));
    p_Send();
}

// Plain HTTP only (another scheme would be sent in the clear to port 80), and no caller's text
// that could split the request line or add a header line.
bool c_HttpRequest::p_IsSendable() const {
    if (m_url->m_scheme.ToLower() != String(u"http")) return false;
    if (!isPlain(m_method, false) || !isPlain(m_url->p_FullPath(), false) ||
        !isPlain(m_url->p_Domain(), false))
        return false;
    for (int i = 0; i < m_headerLines->p_Length2(); ++i) {
        if (!isPlain(m_headerLines->p_Get(i), true)) return false;
    }
    return true;
}

void c_HttpRequest::p_OnConnectComplete(bool connected, c_Socket* socket) {
    if (!connected) return p_Finish();
    m_headerLines->p_Push(String());
    m_headerLines->p_Push(String());
    String block = m_headerLines->p_Join(String(u"\r\n"));
    m_headerLines->p_Clear();
    // A long URL makes a long header block: the buffer grows to it, so the request goes out whole.
    if (block.Length() > m_sendBuffer->Length())
        gc_assign(m_sendBuffer, (new c_DataBuffer)->m_new(block.Length()));
    int length = m_sendBuffer->p_PokeString(0, block, ascii);
    m_socket->p_SendAsync(m_sendBuffer, 0, length, this);
    p_ReceiveAt(0);
}

void c_HttpRequest::p_OnSendComplete(c_DataBuffer* buffer, int offset, int count, c_Socket* socket) {
    if (m_bodyLength == 0) return;
    if (m_socket->p_IsConnected()) m_socket->p_SendAsync(m_bodyBuffer, 0, m_bodyLength, this);
    m_bodyLength = 0;
}

void c_HttpRequest::p_OnReceiveComplete(c_DataBuffer* buffer, int offset, int count, c_Socket* socket) {
    // 0: the server closed the connection. -1: the connection failed or ran out of time, and
    // another receive would only fail again.
    if (count <= 0) return p_Finish();
    int next = 0;
    if (m_inBody) {
        if (!p_ReadBody(offset, count)) return p_Finish();
    } else {
        next = p_ReadHeaderLines(offset, offset + count);
        if (next < 0) return p_Finish();
    }
    p_ReceiveAt(next);
}

// Reads the lines of receiveBuffer up to `end`, where the bytes from `from` are new and those
// before are an unfinished line carried from the last receive. Returns where the next receive
// goes: after the unfinished line, or 0 once the header block has ended; -1 when the exchange
// must end (no valid status line, a header block past its limit, or a line the buffer cannot hold).
int c_HttpRequest::p_ReadHeaderLines(int from, int end) {
    const unsigned char* bytes = m_receiveBuffer->data;
    int start = 0;
    for (int i = from; i < end; ++i) {
        if (bytes[i] != '\n') continue;
        int first = start;
        int last = i;
        start = i + 1;
        // Trimmed of spaces and control characters, which drops the CR.
        while (first < last && bytes[first] <= 0x20) ++first;
        while (last > first && bytes[last - 1] <= 0x20) --last;
        if (last > first) {
            m_headerLines->p_Push(m_receiveBuffer->p_PeekString(first, last - first, ascii));
            continue;
        }
        m_headerBytes += start - from;
        if (m_headerBytes > headerLimit || !p_ReadStatus()) return -1;
        return p_ReadBody(start, end - start) ? 0 : -1;
    }
    m_headerBytes += end - from;
    if (m_headerBytes > headerLimit || end - start == m_receiveBuffer->Length()) return -1;
    m_receiveBuffer->p_CopyBytes(start, m_receiveBuffer, 0, end - start);
    return end - start;
}

bool c_HttpRequest::p_ReadStatus() {
    if (m_headerLines->p_Length2() == 0) return false;
    Array<String> words = m_headerLines->p_Get(0).ToUpper().Split(String(u" "));
    if (words.Length() < 2 || !words[0].StartsWith(String(u"HTTP/"))) return false;
    // Without a reason phrase (trimmed away when empty) the second word must be the code itself.
    if (words.Length() == 2 && !isNumber(words[1])) return false;
    m_status = words[1].ToInt();
    m_inBody = true;
    return true;
}

// Keeps the body's bytes up to the limit; false, with the status marked as cut, past it.
bool c_HttpRequest::p_ReadBody(int offset, int count) {
    int kept = std::min(count, responseLimit - m_bytesReceived);
    const unsigned char* bytes = m_receiveBuffer->data + offset;
    body.insert(body.end(), bytes, bytes + kept);
    m_bytesReceived += kept;
    if (kept == count) return true;
    m_status = statusCut;
    return false;
}

// A socket the caller closed meanwhile ends the exchange: no receive would ever complete.
void c_HttpRequest::p_ReceiveAt(int offset) {
    if (!m_socket->p_IsConnected()) return p_Finish();
    int room = m_receiveBuffer->Length() - offset;
    // One byte past the limit tells a body that ends at the limit from one that goes on.
    if (m_inBody) room = std::min(room, responseLimit - m_bytesReceived + 1);
    m_socket->p_ReceiveAsync(m_receiveBuffer, offset, room, this);
}

void c_HttpRequest::p_Finish() {
    m_socket->p_Close();
    if (m_inBody) {
        // A cut body may end inside a character; what comes before it still decodes.
        int count = m_status == statusCut ? wholeSequences(body) : int(body.size());
        m_responseText = vx_databuffer_DecodeUtf8(body.data(), count);
        std::vector<unsigned char>().swap(body);
    }
    if (m_listener) m_listener->p_OnHttpRequestComplete(this);
}

void c_HttpRequest::mark() {
    gc_mark_q(m_url);
    gc_mark_q(m_listener);
    gc_mark_q(m_bodyBuffer);
    gc_mark_q(m_headerLines);
    gc_mark_q(m_socket);
    gc_mark_q(m_sendBuffer);
    gc_mark_q(m_receiveBuffer);
}
