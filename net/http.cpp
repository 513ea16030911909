#include "net/http.h"

#include <algorithm>

namespace {

const String ascii(u"ascii");
const String utf8(u"utf8");

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
    gc_assign(m_bodyChunks, static_cast<c_StringStack*>(nullptr));
    m_responseText = String();
    m_bytesReceived = 0;
    m_responseBytes = 0;
    gc_assign(m_headerLines, (new c_StringStack)->m_new());
    m_headerLines->p_Push(method + String(u" ") + m_url->p_FullPath() + String(u" HTTP/1.0"));
    m_headerLines->p_Push(String(u"Host: ") + m_url->p_Domain());
}

void c_HttpRequest::p_Send() {
    gc_assign(m_socket, (new c_Socket)->m_new(String(u"stream")));
    m_socket->p_ConnectAsync(m_url->p_Domain(), m_url->p_Port(), this);
}

void c_HttpRequest::p_Send2(const String& data, const String& mimeType, const String& encoding) {
    gc_assign(m_bodyBuffer, (new c_DataBuffer)->m_new(data.Length() * 3));
    m_bodyLength = m_bodyBuffer->p_PokeString(0, data, encoding);
    if (mimeType.Length() > 0) m_headerLines->p_Push(String(u"Content-Type: ") + mimeType);
    m_headerLines->p_Push(String(u"Content-Length: ") + String(m_bodyLength));
    p_Send();
}

void c_HttpRequest::p_OnConnectComplete(bool connected, c_Socket* socket) {
    if (!connected) return p_Finish();
    m_headerLines->p_Push(String());
    m_headerLines->p_Push(String());
    int length = m_sendBuffer->p_PokeString(0, m_headerLines->p_Join(String(u"\r\n")), ascii);
    m_headerLines->p_Clear();
    // A header block longer than the send buffer is cut at its end by the send.
    m_socket->p_SendAsync(m_sendBuffer, 0, length, this);
    p_ReceiveAt(0);
}

void c_HttpRequest::p_OnSendComplete(c_DataBuffer* buffer, int offset, int count, c_Socket* socket) {
    if (m_bodyLength == 0) return;
    if (m_socket->p_IsConnected()) m_socket->p_SendAsync(m_bodyBuffer, 0, m_bodyLength, this);
    m_bodyLength = 0;
}

void c_HttpRequest::p_OnReceiveComplete(c_DataBuffer* buffer, int offset, int count, c_Socket* socket) {
    // 0: the server closed the connection. -1: the connection failed, and another receive would
    // only fail again.
    if (count <= 0) return p_Finish();
    int kept = std::min(count, responseLimit - m_responseBytes);
    m_responseBytes += kept;
    int next = 0;
    if (m_bodyChunks) {
        p_ReadBody(offset, kept);
    } else {
        next = p_ReadHeaderLines(offset, offset + kept);
        if (next < 0) return p_Finish();
    }
    if (m_responseBytes == responseLimit) return p_Finish();
    p_ReceiveAt(next);
}

// Reads the lines of receiveBuffer up to `end`, where the bytes from `from` are new and those
// before are an unfinished line carried from the last receive. Returns where the next receive
// goes: after the unfinished line, or 0 once the header block has ended; -1 when the response has
// no valid status line.
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
        if (!p_ReadStatus()) return -1;
        p_ReadBody(start, end - start);
        return 0;
    }
    m_receiveBuffer->p_CopyBytes(start, m_receiveBuffer, 0, end - start);
    return end - start;
}

bool c_HttpRequest::p_ReadStatus() {
    if (m_headerLines->p_Length2() == 0) return false;
    Array<String> words = m_headerLines->p_Get(0).ToUpper().Split(String(u" "));
    if (words.Length() < 3 || !words[0].StartsWith(String(u"HTTP/"))) return false;
    m_status = words[1].ToInt();
    gc_assign(m_bodyChunks, (new c_StringStack)->m_new());
    return true;
}

void c_HttpRequest::p_ReadBody(int offset, int count) {
    if (count <= 0) return;
    m_bodyChunks->p_Push(m_receiveBuffer->p_PeekString(offset, count, utf8));
    m_bytesReceived += count;
}

// A socket the caller closed meanwhile ends the exchange: no receive would ever complete.
void c_HttpRequest::p_ReceiveAt(int offset) {
    if (!m_socket->p_IsConnected()) return p_Finish();
    m_socket->p_ReceiveAsync(m_receiveBuffer, offset, m_receiveBuffer->Length() - offset, this);
}

void c_HttpRequest::p_Finish() {
    m_socket->p_Close();
    if (m_bodyChunks) m_responseText = m_bodyChunks->p_Join(String());
    if (m_listener) m_listener->p_OnHttpRequestComplete(this);
}

void c_HttpRequest::mark() {
    gc_mark_q(m_url);
    gc_mark_q(m_listener);
    gc_mark_q(m_bodyBuffer);
    gc_mark_q(m_bodyChunks);
    gc_mark_q(m_headerLines);
    gc_mark_q(m_socket);
    gc_mark_q(m_sendBuffer);
    gc_mark_q(m_receiveBuffer);
}
