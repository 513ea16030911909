// The HTTP client against a real server: python3 -m http.server on loopback, started by the test.
#include "net/http.h"
#include "net_support.h"

#include <gtest/gtest.h>

#include <csignal>
#include <cstdlib>
#include <fstream>
#include <spawn.h>
#include <string>
#include <sys/wait.h>

extern char** environ;

namespace {

using namespace net_test;

class Done : public Object, public c_IOnHttpRequestComplete {
  public:
    int calls = 0;
    void p_OnHttpRequestComplete(c_HttpRequest*) override { ++calls; }
};

std::u16string units(const String& s) { return {s.Data(), s.Data() + s.Length()}; }

bool accepts(int port) {
    int fd = ::socket(AF_INET, SOCK_STREAM | SOCK_CLOEXEC, 0);
    sockaddr_in address{};
    address.sin_family = AF_INET;
    address.sin_port = htons(uint16_t(port));
    address.sin_addr.s_addr = htonl(INADDR_LOOPBACK);
    bool ok = ::connect(fd, reinterpret_cast<sockaddr*>(&address), sizeof address) == 0;
    ::close(fd);
    return ok;
}

class PythonServer : public ::testing::Test {
  protected:
    static void SetUpTestSuite() {
        char name[] = "/tmp/net_http_server_XXXXXX";
        ASSERT_NE(mkdtemp(name), nullptr);
        folder = name;
        std::ofstream(folder + "/hello.txt") << "Hello from the server: caf\xC3\xA9\n";
        port = closed_port();
        std::string portText = std::to_string(port);
        const char* argv[] = {"python3",   "-m",          "http.server",  portText.c_str(), "--bind",
                              "127.0.0.1", "--directory", folder.c_str(), nullptr};
        ASSERT_EQ(posix_spawnp(&pid, "python3", nullptr, nullptr, const_cast<char**>(argv), environ), 0);
        for (int i = 0; i < 1000 && !accepts(port); ++i) usleep(10000);
        ASSERT_TRUE(accepts(port));
    }

    static void TearDownTestSuite() {
        if (pid > 0) {
            kill(pid, SIGTERM);
            waitpid(pid, nullptr, 0);
        }
        std::remove((folder + "/hello.txt").c_str());
        rmdir(folder.c_str());
    }

    void TearDown() override { release_kept(); }

    c_HttpRequest* get(const std::string& path) {
        auto* request =
            keep((new c_HttpRequest)
                     ->m_new2(String(u"GET"),
                              String(("http://127.0.0.1:" + std::to_string(port) + path).c_str()), done));
        request->p_Send();
        EXPECT_TRUE(pump_until([&] { return done->calls > 0; }));
        EXPECT_TRUE(pump_until([&] { return idle(request->m_socket); }));
        EXPECT_EQ(done->calls, 1);
        return request;
    }

    static inline pid_t pid = 0;
    static inline int port = 0;
    static inline std::string folder;
    Done* done = keep(new Done);
};

TEST_F(PythonServer, GetReturnsTheFileAndStatus200) {
    c_HttpRequest* request = get("/hello.txt");
    EXPECT_EQ(request->p_Status(), 200);
    EXPECT_EQ(units(request->p_ResponseText()), u"Hello from the server: caf\u00E9\n");
}

TEST_F(PythonServer, AMissingFileGivesStatus404AndTheServersPage) {
    c_HttpRequest* request = get("/missing.txt?x=1");
    EXPECT_EQ(request->p_Status(), 404);
    EXPECT_NE(units(request->p_ResponseText()).find(u"404"), std::u16string::npos);
}

} // namespace
