// The HTTP client's response parser on any bytes, as they arrive from a real socket: the response
// goes through one end of a connected socket pair in pieces whose sizes the input chooses, each
// piece taken in by the client's receive before the next is written, then the server end closes.
// The exchange must always end, and tell its listener once.
#include "fuzz_support.h"
#include "net/asyncevent.h"
#include "net/http.h"
#include "net/nativesocket.h"

#include <fuzzer/FuzzedDataProvider.h>

#include <chrono>
#include <sys/ioctl.h>
#include <sys/socket.h>
#include <unistd.h>
#include <vector>

namespace {

class Listener : public Object, public c_IOnHttpRequestComplete {
  public:
    int heard = 0;
    void p_OnHttpRequestComplete(c_HttpRequest*) override { ++heard; }
};

class CountingRequest : public c_HttpRequest {
  public:
    int receives = 0;
    void p_OnReceiveComplete(c_DataBuffer* buffer, int offset, int count, c_Socket* socket) override {
        ++receives;
        c_HttpRequest::p_OnReceiveComplete(buffer, offset, count, socket);
    }
};

using Clock = std::chrono::steady_clock;

// Delivers completed socket work until `done` holds; a client that stops making progress hangs,
// which is a finding.
template <class Done> void PumpUntil(Done done) {
    auto limit = Clock::now() + std::chrono::seconds(10);
    while (!done()) {
        FUZZ_CHECK(Clock::now() < limit);
        vx_asyncevent_UpdateAsyncEvents();
        usleep(20);
    }
}

int Unread(int fd) {
    int count = 0;
    return ioctl(fd, FIONREAD, &count) == 0 ? count : 0;
}

bool WriteAll(int fd, const unsigned char* bytes, std::size_t count) {
    while (count > 0) {
        ssize_t n = write(fd, bytes, count);
        if (n <= 0) return false;
        bytes += n;
        count -= std::size_t(n);
    }
    return true;
}

} // namespace

extern "C" int LLVMFuzzerTestOneInput(const unsigned char* data, std::size_t size) {
    FuzzedDataProvider input(data, size);
    int ends[2];
    if (socketpair(AF_UNIX, SOCK_STREAM | SOCK_CLOEXEC, 0, ends) != 0) return 0;
    auto* native = new VxSocket();
    native->handle = ends[0];
    native->protocol = VxSocket::Stream;
    c_Socket* socket = (new c_Socket)->m_new2(native, VxSocket::Stream, c_Socket::Open | c_Socket::Connected);
    auto* listener = new Listener();
    auto* request = new CountingRequest();
    request->m_new2(String(u"GET"), String(u"http://example.invalid/"), listener);
    gc_assign(request->m_socket, socket);
    request->p_OnConnectComplete(true, socket);

    while (input.remaining_bytes() > 0 && listener->heard == 0) {
        std::size_t piece = input.ConsumeIntegralInRange<std::size_t>(1, 4096);
        std::vector<unsigned char> bytes = input.ConsumeBytes<unsigned char>(piece);
        if (bytes.empty()) break;
        int before = request->receives;
        if (!WriteAll(ends[1], bytes.data(), bytes.size())) break;
        PumpUntil(
            [&] { return listener->heard > 0 || (Unread(ends[0]) == 0 && request->receives > before); });
    }
    shutdown(ends[1], SHUT_WR);
    PumpUntil([&] { return listener->heard > 0; });
    FUZZ_CHECK(listener->heard == 1);
    // The socket leaves the event loop once its workers have ended.
    PumpUntil([] { return !vx_asyncevent_sources.get() || vx_asyncevent_sources->p_Length2() == 0; });
    close(ends[1]);
    CollectGarbage();
    return 0;
}
