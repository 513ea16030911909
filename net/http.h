// A minimal HTTP/1.0 client over the asynchronous sockets: one request per object, the response
// read until the server closes the connection (no keep-alive, redirects, chunked decoding or time
// limit). The listener hears once, on the main thread, when the exchange is over; the caller must
// keep polling asynchronous events for it to progress.
//
// The request on the wire is exactly
//     <method> <full path> HTTP/1.0 CR LF
//     Host: <domain> CR LF
//     [Content-Type: <mime type> CR LF]     (with a body)
//     [Content-Length: <bytes> CR LF]        (with a body)
//     CR LF
//     [body]
// The response needs a status line whose first word begins with "HTTP/" (in any case); its other
// header lines are kept but not used, and the body is decoded from UTF-8 piece by piece as it
// arrives. A response stops being read at 1 MiB, so a hostile server cannot exhaust memory.
#pragma once

#include "net/socket.h"
#include "net/url.h"

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
    static constexpr int responseLimit = 1 << 20;

    String m_method;
    c_Url* m_url = nullptr;
    c_IOnHttpRequestComplete* m_listener = nullptr;
    c_DataBuffer* m_bodyBuffer = nullptr;
    int m_bodyLength = 0;                  // body bytes still to send
    int m_status = -1;                     // -1 until a valid status line has been read
    c_StringStack* m_bodyChunks = nullptr; // null until the response header block has ended
    String m_responseText;
    int m_bytesReceived = 0;                // response body bytes
    int m_responseBytes = 0;                // all response bytes, for the limit
    c_StringStack* m_headerLines = nullptr; // request lines, then response lines
    c_Socket* m_socket = nullptr;
    c_DataBuffer* m_sendBuffer = nullptr;
    c_DataBuffer* m_receiveBuffer = nullptr;

    c_HttpRequest* m_new();
    c_HttpRequest* m_new2(const String& method, const String& url, c_IOnHttpRequestComplete* listener);
    void p_Open(const String& method, const String& url, c_IOnHttpRequestComplete* listener);
    void p_Send();
    // The body in "utf8" or "ascii"; the MIME type is sent only when not empty.
    void p_Send2(const String& data, const String& mimeType, const String& encoding);

    int p_Status() const { return m_status; }
    String p_ResponseText() const { return m_responseText; }

    void p_OnConnectComplete(bool connected, c_Socket* socket) override;
    void p_OnSendComplete(c_DataBuffer* buffer, int offset, int count, c_Socket* socket) override;
    void p_OnReceiveComplete(c_DataBuffer* buffer, int offset, int count, c_Socket* socket) override;
    // Closes the socket, joins the body and tells the listener.
    void p_Finish();

    void mark() override;

  private:
    int p_ReadHeaderLines(int from, int end);
    bool p_ReadStatus();
    void p_ReadBody(int offset, int count);
    void p_ReceiveAt(int offset);
};
