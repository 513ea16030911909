// Console output, runtime errors, the debugger stop and the fault handler.
#include "host/console.h"

#include "runtime/object.h"

#include <csignal>
#include <cstdio>
#include <cstdlib>
#include <string>
#include <vector>

namespace {

// The debugger names objects by address; only a live collected object is asked for its text, so a
// stale or mistyped address cannot crash the stop.
Object* liveObjectAt(const void* address) {
    for (gc_link* list : {&gc_unmarked_list, &gc_queued_list, &gc_marked_list}) {
        for (gc_link* link = list->succ; link != list; link = link->succ) {
            auto* object = dynamic_cast<Object*>(static_cast<gc_object*>(link));
            if (object && object == address) return object;
        }
    }
    return nullptr;
}

void printObject(const char* line) {
    void* address = nullptr;
    if (std::sscanf(line + 1, "%p", &address) != 1) address = nullptr;
    Object* object = address ? liveObjectAt(address) : nullptr;
    dbg_print(object ? object->debug() : String());
}

} // namespace

void vxPrint(const String& text) {
    // One buffer for the life of the process: printing does not allocate once it has grown.
    static std::string utf8;
    text.ToUtf8(utf8);
    utf8 += '\n';
    std::fwrite(utf8.data(), 1, utf8.size(), stdout);
    std::fflush(stdout);
}

void vxDebugLog(const String& text) { vxPrint(text); }

void vxError(const String& text) {
    if (text.Length() == 0) std::exit(0);
    dbg_error(CString(text).c_str());
}

void vxDebugStop() { dbg_stop(); }

void dbg_error(const char* message) {
    // A debugger may answer "run", but a runtime error cannot be continued: report it again.
    for (;;) {
        vxPrint(String(u"Cobalt Runtime Error : ") + String(message));
        vxPrint(dbg_stacktrace());
        dbg_stop();
    }
}

// Nothing sets a debug location in this program, so the trace is always empty.
String dbg_stacktrace() { return String(); }

void dbg_stop() {
    std::fputs("{{~~~~}}\n\n", stderr);
    std::fflush(stderr);
    char line[256];
    for (;;) {
        // No debugger attached: stdin at its end or a line that does not end.
        if (!std::fgets(line, sizeof line, stdin)) std::exit(-1);
        std::string text(line);
        if (text.empty() || text.back() != '\n') std::exit(-1);
        switch (line[0]) {
        case '?':
            break;
        case '@':
            printObject(line);
            break;
        case 'r':
        case 's':
        case 'e':
        case 'l':
            return;
        case 'q':
            std::exit(0);
        default:
            text.pop_back();
            std::printf("????? %s ?????\n", text.c_str());
            std::fflush(stdout);
            std::exit(-1);
        }
    }
}

void dbg_print(const String& text) {
    static std::vector<char> buffer;
    std::size_t length = std::size_t(text.Length());
    if (length + 99 >= buffer.size()) buffer.resize(length + 100);
    for (std::size_t i = 0; i < length; ++i) buffer[i] = char(text.Data()[i] & 0xFF);
    buffer[length] = '\n';
    std::fwrite(buffer.data(), 1, length + 1, stderr);
    std::fflush(stderr);
}

void sighandler(int signal) {
    switch (signal) {
    case SIGFPE:
        dbg_error("Floating point exception");
    case SIGSEGV:
        dbg_error("Memory access violation");
    case SIGILL:
        dbg_error("Illegal instruction");
    default:
        dbg_error("Unknown signal");
    }
}
