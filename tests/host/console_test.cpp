// Console output and the fatal paths: runtime errors, the debugger stop's protocol and faults.
#include "host/console.h"
#include "runtime/object.h"
#include "tests/support/child_process.h"

#include <gtest/gtest.h>

#include <unistd.h>

#include <atomic>
#include <climits>
#include <csignal>
#include <cstdio>
#include <string>
#include <thread>

namespace {

const std::string kStop = "{{~~~~}}\n\n";

TEST(Console, PrintWritesUtf8PerUnitAndAFlushedLine) {
    ChildResult r = RunInChild([] {
        // "A", e-acute (2 bytes), euro sign (3 bytes), and a surrogate pair written half by half.
        const char16_t units[] = {u'A', 0xE9, 0x20AC, 0xD83D, 0xDE00};
        vxPrint(String(units, 5));
        vxDebugLog(String(u"log"));
        vxPrint(String());
        std::_Exit(0); // no flush here: the lines must already be out
    });
    EXPECT_EQ(r.status, 0);
    EXPECT_EQ(r.out, "A\xC3\xA9\xE2\x82\xAC\xED\xA0\xBD\xED\xB8\x80\nlog\n\n");
}

TEST(Console, EmptyErrorEndsQuietlyWithStatusZero) {
    ChildResult r = RunInChild([] { vxError(String()); });
    EXPECT_EQ(r.status, 0);
    EXPECT_EQ(r.out, "");
    EXPECT_EQ(r.err, "");
}

// Without a debugger, stdin is at its end or holds a line that does not end.
TEST(Console, RuntimeErrorWithoutDebuggerEndsWithMinusOne) {
    for (const std::string input : {"", "r"}) {
        ChildResult r = RunInChild([] { vxError(String(u"x")); }, input);
        EXPECT_EQ(r.status, 255) << input;
        EXPECT_EQ(r.out, "Cobalt Runtime Error : x\n\n") << input;
        EXPECT_EQ(r.err, kStop) << input;
    }
}

TEST(Console, ErrorTextIsNarrowedToItsLowBytes) {
    ChildResult r = RunInChild([] { vxError(String(u"\u0141!")); });
    EXPECT_EQ(r.out, "Cobalt Runtime Error : A!\n\n");
}

TEST(Console, DebuggerCommands) {
    struct Case {
        std::string input;
        int status;
        std::string out;
        std::string err;
    };
    const std::string report = "Cobalt Runtime Error : boom\n\n";
    const Case cases[] = {
        {"?\nq\n", 0, report, kStop},
        // Run, step, step in and step out all return, and the error is reported and stops again.
        {"r\ns\ne\nl\n", 255, report + report + report + report + report,
         kStop + kStop + kStop + kStop + kStop},
        {"@0\nq\n", 0, report, kStop + "\n"},
        {"@0x1234\nq\n", 0, report, kStop + "\n"},
        {"zap\n", 255, report + "????? zap ?????\n", kStop},
        {"\n", 255, report + "?????  ?????\n", kStop},
    };
    for (const Case& c : cases) {
        ChildResult r = RunInChild([] { dbg_error("boom"); }, c.input);
        EXPECT_EQ(r.status, c.status) << c.input;
        EXPECT_EQ(r.out, c.out) << c.input;
        EXPECT_EQ(r.err, c.err) << c.input;
    }
}

TEST(Console, DebuggerPrintsALiveObjectByAddress) {
    class Named : public Object {
        String debug() override { return String(u"+Named\n\u0141"); }
    };
    Named* object = new Named();
    char command[64];
    std::snprintf(command, sizeof command, "@%p\nq\n", static_cast<void*>(object));
    ChildResult r = RunInChild([] { vxDebugStop(); }, command);
    EXPECT_EQ(r.status, 0);
    EXPECT_EQ(r.err, kStop + "+Named\nA\n");
}

TEST(Console, DbgPrintKeepsLongTexts) {
    ChildResult r = RunInChild([] {
        dbg_print(String(u"short"));
        std::u16string longText(5000, u'z');
        dbg_print(String(longText.data(), int(longText.size())));
        dbg_print(String(u"again"));
        std::_Exit(0);
    });
    EXPECT_EQ(r.err, "short\n" + std::string(5000, 'z') + "\nagain\n");
}

TEST(Console, FaultsBecomeRuntimeErrors) {
    struct Case {
        int signal;
        const char* message;
    };
    const Case cases[] = {{SIGFPE, "Floating point exception"},
                          {SIGSEGV, "Memory access violation"},
                          {SIGILL, "Illegal instruction"},
                          {SIGUSR1, "Unknown signal"}};
    for (const Case& c : cases) {
        ChildResult r = RunInChild([&] {
            std::signal(c.signal, sighandler);
            std::raise(c.signal);
        });
        EXPECT_EQ(r.status, 255) << c.message;
        EXPECT_EQ(r.out, "Cobalt Runtime Error : " + std::string(c.message) + "\n\n");
    }
}

// Deep enough to overflow any stack; the depth check keeps the compiler from seeing endless
// recursion, and the frame read after the call keeps every frame alive.
int Recurse(int depth) {
    volatile char frame[1024];
    frame[0] = char(depth);
    int below = depth == 0 ? 0 : Recurse(depth - 1);
    return below + frame[0];
}

// Faults where the handler has nothing to stand on: no stack left, or stdio locked for good by
// another thread (as malloc's lock would be after a fault inside malloc). The alarm turns a hang
// into a failure.
TEST(Console, FaultsAreReportedWithoutStackOrStdio) {
    const std::function<void()> faults[] = {
        [] { std::exit(Recurse(INT_MAX)); },
        [] {
            std::atomic<bool> locked = false;
            std::thread([&] {
                flockfile(stdout);
                locked = true;
                pause();
            }).detach();
            while (!locked) std::this_thread::yield();
            std::raise(SIGSEGV);
        },
    };
    for (const auto& fault : faults) {
        ChildResult r = RunInChild([&] {
            alarm(20);
            vxInstallFaultHandlers();
            fault();
        });
        EXPECT_EQ(r.status, 255);
        EXPECT_EQ(r.out, "Cobalt Runtime Error : Memory access violation\n\n");
        EXPECT_EQ(r.err, kStop);
    }
}

// The fault's stop speaks the debugger's protocol too, but cannot risk inspecting objects.
TEST(Console, FaultStopObeysTheDebugger) {
    ChildResult r = RunInChild(
        [] {
            vxInstallFaultHandlers();
            std::raise(SIGFPE);
        },
        "?\nr\n@0x1234\nq\n");
    EXPECT_EQ(r.status, 0);
    const std::string report = "Cobalt Runtime Error : Floating point exception\n\n";
    EXPECT_EQ(r.out, report + report);
    EXPECT_EQ(r.err, kStop + kStop + "\n");
}

} // namespace
