// A socket listener that records every completion in order.
#pragma once

#include "net/socket.h"

#include <functional>
#include <vector>

namespace net_test {

struct Completion {
    char kind; // 'c' connect, 's' send, 'r' receive
    bool connected;
    c_DataBuffer* buffer;
    int offset;
    int count;
};

class Recorder : public Object,
                 public c_IOnConnectComplete,
                 public c_IOnSendComplete,
                 public c_IOnReceiveComplete {
  public:
    std::vector<Completion> done;
    // Runs inside the listener call, after recording.
    std::function<void(const Completion&)> during;

    void p_OnConnectComplete(bool connected, c_Socket*) override { add({'c', connected, nullptr, 0, 0}); }
    void p_OnSendComplete(c_DataBuffer* buffer, int offset, int count, c_Socket*) override {
        add({'s', false, buffer, offset, count});
    }
    void p_OnReceiveComplete(c_DataBuffer* buffer, int offset, int count, c_Socket*) override {
        add({'r', false, buffer, offset, count});
    }

    int count(char kind) const {
        int n = 0;
        for (const Completion& c : done) n += c.kind == kind;
        return n;
    }

  private:
    void add(const Completion& c) {
        done.push_back(c);
        if (during) during(c);
    }
};

} // namespace net_test
