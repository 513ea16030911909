// The fault handler's installation: sighandler (console.cpp) for the three hardware faults.
#include "host/console.h"

#include <csignal>

void vxInstallFaultHandlers() {
    // A stack overflow leaves no stack to report it on.
    static char alternateStack[64 * 1024];
    stack_t stack{};
    stack.ss_sp = alternateStack;
    stack.ss_size = sizeof alternateStack;
    sigaltstack(&stack, nullptr);
    struct sigaction action {};
    action.sa_handler = sighandler;
    sigemptyset(&action.sa_mask);
    // A fault inside the handler takes the default action instead of entering it again.
    action.sa_flags = SA_ONSTACK | SA_RESETHAND;
    for (int signal : {SIGSEGV, SIGILL, SIGFPE}) sigaction(signal, &action, nullptr);
}
