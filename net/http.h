// A minimal HTTP/1.0 client over the asynchronous sockets: one request per object, the response
// read until the server closes the connection (no keep-alive, redirects or chunked decoding). The
// listener hears once, on the main thread, when the exchange is over; the caller must keep polling
// asynchronous events for it to progress.
//
// The request on the wire is exactly
//     <method> <full path> HTTP/1.0 CR LF
//     Host: <domain> CR LF
//     [Content-Type: <mime type> CR LF]     (with a body)
//     [Content-Length: <bytes> CR LF]        (with a body)
//     CR LF
//     [body]
// Only "http" URLs are sent, and only when the method, path and domain are visible ASCII and the
// MIME type has no control character, so no text of the caller can end a line or a word early;
// any other request fails as an unreachable host does (status -1, on a later update).
//
// The response needs a status line: its first word begins with "HTTP/" (in any case) and its second
// is the status code; a reason phrase may follow. Its other header lines are kept but not used.
// The body's bytes are kept and decoded from UTF-8 once the exchange ends (bytes that are not
// UTF-8 give the body as Latin-1).
//
// Hostile servers are bounded: a header block longer than 64 KiB, or one line longer than the
// receive buffer, ends the exchange with status -1; a body longer than 1 MiB is cut there and the
// exchange ends with status statusCut (-2) and the text up to the cut; every connect, send and
// receive gives up after the time limit (30 s unless set), which ends the exchange as a failed
// connect or receive does.
#pragma once

#include "net/socket.h"
#include "net/url.h"

#include <vector>

class c_HttpRequest;

class c_IOnHttpRequestComplete : public gc_interface {
  public:
    virtual void p_OnHttpRequestComplete(c_HttpRequest* request) = 0;
};

class c_HttpRequest : public Object,
                      public c_IOnConnectComplete,
                      public c_IOnSendComplete,
                      public c_IOnReceiveComplete {
  public:
    static constexpr int responseLimit = 1 << 20; // body bytes
    static constexpr int headerLimit = 64 << 10;  // response header block bytes
    static constexpr int statusCut = -2;          // the body went past responseLimit
    static constexpr int defaultTimeLimit = 30000;

    String m_method;
    c_Url* m_url = nullptr;
    c_IOnHttpRequestComplete* m_listener = nullptr;
    c_DataBuffer* m_bodyBuffer = nullptr;
    int m_bodyLength = 0;  // body bytes still to send
    int m_status = -1;     // -1 until a valid status line has been read
    bool m_inBody = false; // the response header block has ended
    String m_responseText;
    int m_bytesReceived = 0;                // response body bytes
    int m_headerBytes = 0;                  // response header bytes, for the limit
    c_StringStack* m_headerLines = nullptr; // request lines, then response lines
    c_Socket* m_socket = nullptr;
    c_DataBuffer* m_sendBuffer = nullptr;
    c_DataBuffer* m_receiveBuffer = nullptr;
    int m_timeLimit = defaultTimeLimit; // milliseconds per connect, send or receive

    c_HttpRequest* m_new();
    c_HttpRequest* m_new2(const String& method, const String& url, c_IOnHttpRequestComplete* listener);
    void p_Open(const String& method, const String& url, c_IOnHttpRequestComplete* listener);
    // For the exchanges started from now on; 0 or less is no limit.
    void p_SetTimeLimit(int milliseconds) { m_timeLimit = milliseconds; }
    void p_Send();
    // The body in "utf8" or "ascii"; the MIME type is sent only when not empty.
    void p_Send2(const String& data, const String& mimeType, const String& encoding);

    int p_Status() const { return m_status; }
    String p_ResponseText() const { return m_responseText; }

    void p_OnConnectComplete(bool connected, c_Socket* socket) override;
    void p_OnSendComplete(c_DataBuffer* buffer, int offset, int count, c_Socket* socket) override;
    void p_OnReceiveComplete(c_DataBuffer* buffer, int offset, int count, c_Socket* socket) override;
    // Closes the socket, decodes the body and tells the listener.
    void p_Finish();

    void mark() override;

  private:
    bool p_IsSendable() const;
    int p_ReadHeaderLines(int from, int end);
    bool p_ReadStatus();
    bool p_ReadBody(int offset, int count);
    void p_ReceiveAt(int offset);

    // The response body as it arrived; main thread only.
    std::vector<unsigned char> body;
};
