// The host base: its defaults, the guarded fan-out of host events to the delegate, the uncaught-
// exception end and the calendar.
#include "host/game.h"

#include "host/console.h"

#include <algorithm>
#include <cstdlib>
#include <ctime>

VxGame* VxGame::_game = nullptr;
int VxGame::argc = 0;
char** VxGame::argv = nullptr;

VxGame::VxGame() = default;

void VxGame::SetDelegate(VxGameDelegate* d) { delegate = d; }
VxGameDelegate* VxGame::Delegate() { return delegate; }
void VxGame::SetKeyboardEnabled(bool enabled) { keyboardEnabled = enabled; }
bool VxGame::KeyboardEnabled() { return keyboardEnabled; }
void VxGame::SetUpdateRate(int hertz) { updateRate = hertz; }
int VxGame::UpdateRate() { return updateRate; }
bool VxGame::Started() { return started; }
bool VxGame::Suspended() { return suspended; }
int VxGame::Millisecs() { return 0; }

void VxGame::GetDate(Array<int> date) {
    std::time_t now = std::time(nullptr);
    std::tm local{};
    localtime_r(&now, &local);
    const int fields[7] = {
        local.tm_year + 1900, local.tm_mon + 1, local.tm_mday, local.tm_hour, local.tm_min, local.tm_sec, 0};
    std::copy_n(fields, std::min(date.Length(), 7), date.begin());
}

bool VxGame::PollJoystick(int port, Array<float> joyx, Array<float> joyy, Array<float> joyz,
                          Array<bool> buttons) {
    return false;
}
void VxGame::SetMouseVisible(bool visible) {}
int VxGame::GetDeviceWidth() { return 0; }
int VxGame::GetDeviceHeight() { return 0; }
void VxGame::SetDeviceWindow(int width, int height, int flags) {}
Array<VxDisplayMode*> VxGame::GetDisplayModes() { return Array<VxDisplayMode*>(); }
VxDisplayMode* VxGame::GetDesktopMode() { return nullptr; }
void VxGame::SetSwapInterval(int interval) {}

void VxGame::Die(ThrowableObject* ex) {
    vxPrint(String(u"Cobalt Runtime Error : Uncaught Cobalt Exception"));
    std::exit(-1);
}

void VxGame::gc_collect() { gc_collect_step(delegate); }

namespace {

// How many delegate calls are running. A call can start another (a window change inside an update
// releases the held keys); the collector never scans the native stack, so it may only step once
// the outermost call has returned and no caller's locals hold references any more. The collector
// is one per process, and so is this count.
int delegateDepth = 0;

class DelegateCall {
  public:
    DelegateCall() { ++delegateDepth; }
    ~DelegateCall() { --delegateDepth; }
    DelegateCall(const DelegateCall&) = delete;
    DelegateCall& operator=(const DelegateCall&) = delete;
    bool Outermost() const { return delegateDepth == 1; }
};

} // namespace

// Every delegate call: an escaping exception ends the process, and a collector step follows the
// outermost call, so garbage is reclaimed in small steps between calls.
template <class Call> void VxGame::ToDelegate(Call call) {
    DelegateCall depth;
    if (delegate) {
        try {
            call(*delegate);
        } catch (ThrowableObject* ex) {
            Die(ex);
        }
    }
    if (depth.Outermost()) gc_collect();
}

void VxGame::StartGame() {
    if (started) return;
    started = true;
    ToDelegate([](VxGameDelegate& d) { d.StartGame(); });
}

void VxGame::SuspendGame() {
    if (!started || suspended) return;
    suspended = true;
    ToDelegate([](VxGameDelegate& d) { d.SuspendGame(); });
}

void VxGame::ResumeGame() {
    if (!started || !suspended) return;
    suspended = false;
    ToDelegate([](VxGameDelegate& d) { d.ResumeGame(); });
}

void VxGame::UpdateGame() {
    if (!started || suspended) return;
    ToDelegate([](VxGameDelegate& d) { d.UpdateGame(); });
}

void VxGame::RenderGame() {
    if (!started) return;
    ToDelegate([](VxGameDelegate& d) { d.RenderGame(); });
}

void VxGame::KeyEvent(int event, int data) {
    if (!started) return;
    ToDelegate([=](VxGameDelegate& d) { d.KeyEvent(event, data); });
}

void VxGame::MouseEvent(int event, int data, float x, float y) {
    if (!started) return;
    ToDelegate([=](VxGameDelegate& d) { d.MouseEvent(event, data, x, y); });
}

void VxGame::TouchEvent(int event, int data, float x, float y) {
    if (!started) return;
    ToDelegate([=](VxGameDelegate& d) { d.TouchEvent(event, data, x, y); });
}

void VxGame::MotionEvent(int event, int data, float x, float y, float z) {
    if (!started) return;
    ToDelegate([=](VxGameDelegate& d) { d.MotionEvent(event, data, x, y, z); });
}

void VxHeadlessGame::Run() {
    StartGame();
    while (delegate) UpdateGame();
}

void VxGame::DiscardGraphics() {
    if (!started) return;
    ToDelegate([](VxGameDelegate& d) { d.DiscardGraphics(); });
}
