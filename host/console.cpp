// Console output, runtime errors, the debugger stop and the fault handler.
#include "host/console.h"

#include "runtime/object.h"

#include <unistd.h>

#include <cerrno>
#include <csignal>
#include <cstdio>
#include <cstdlib>
#include <cstring>
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

// Output and input for the stop use write and read alone: a fault handler may call nothing else,
// since the fault may have struck inside malloc or stdio.
void writeAll(int fd, const char* bytes, std::size_t length) {
    while (length > 0) {
        ssize_t n = write(fd, bytes, length);
        if (n < 0 && errno == EINTR) continue;
        if (n <= 0) return;
        bytes += n;
        length -= std::size_t(n);
    }
}

void writeText(int fd, const char* text) { writeAll(fd, text, std::strlen(text)); }

// One command line of up to 255 characters with its newline; its length without the newline, or -1
// when standard input ends first or the line does not end.
int readCommand(char (&line)[256]) {
    for (int length = 0; length < 255;) {
        ssize_t n = read(0, line + length, 1);
        if (n < 0 && errno == EINTR) continue;
        if (n != 1) return -1;
        if (line[length] == '\n') {
            line[length] = 0;
            return length;
        }
        ++length;
    }
    return -1;
}

// A faulting program must not run its exit handlers: they would touch what the fault broke.
[[noreturn]] void endProcess(bool inFault, int status) {
    if (inFault) _exit(status);
    std::exit(status);
}

// Obeys the debugger's command lines until one says to go on. In a fault handler only read, write
// and _exit are used, so objects are not inspected: an empty line answers.
void stopForDebugger(bool inFault) {
    if (!inFault) std::fflush(nullptr);
    writeText(2, "{{~~~~}}\n\n");
    char line[256];
    for (;;) {
        int length = readCommand(line);
        // No debugger attached: stdin at its end or a line that does not end.
        if (length < 0) endProcess(inFault, -1);
        switch (line[0]) {
        case '?':
            break;
        case '@':
            if (inFault)
                writeText(2, "\n");
            else
                printObject(line);
            break;
        case 'r':
        case 's':
        case 'e':
        case 'l':
            return;
        case 'q':
            endProcess(inFault, 0);
        default:
            writeText(1, "????? ");
            writeAll(1, line, std::size_t(length));
            writeText(1, " ?????\n");
            endProcess(inFault, -1);
        }
    }
}

// The runtime error of a fault, reported again after every command that would go on.
[[noreturn]] void reportFault(const char* message) {
    for (;;) {
        writeText(1, "Cobalt Runtime Error : ");
        writeText(1, message);
        writeText(1, "\n\n"); // and the stack trace, which is always empty
        stopForDebugger(true);
    }
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

void dbg_stop() { stopForDebugger(false); }

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
        reportFault("Floating point exception");
    case SIGSEGV:
        reportFault("Memory access violation");
    case SIGILL:
        reportFault("Illegal instruction");
    default:
        reportFault("Unknown signal");
    }
}
