// The application object, the game delegate that binds the host's events to it, and the application
// module through which the game reaches the host: update rate, clock, saved state, window size,
// display modes, full screen and ending the program.
//
// The one application registers itself when constructed and hands a delegate to the host; from then
// on the host's frame loop drives everything through the delegate: StartGame creates the devices,
// every update is bracketed by the input device and every render by the graphics device and context.
// Main thread only.
#pragma once

#include "host/delegate.h"
#include "host/window.h"
#include "runtime/object.h"

class VxGame;
class gxtkGraphics;
class gxtkAudio;
class c_InputDevice;

// The back key of devices that have one; on this host only a program can send it.
inline constexpr int KEY_BACK = 416;

// The base of the game's application: each callback does nothing by default.
class c_App : public Object {
  public:
    // Registers this as the one application and hands a new delegate to the host.
    c_App* m_new();

    virtual int p_OnCreate();
    virtual int p_OnSuspend();
    virtual int p_OnResume();
    virtual int p_OnUpdate();
    virtual int p_OnRender();

    // Both end the program.
    int p_OnClose();
    int p_OnBack();
};

class c_GameDelegate : public VxGameDelegate {
  public:
    gxtkGraphics* graphics = nullptr;
    gxtkAudio* audio = nullptr;
    c_InputDevice* input = nullptr;

    c_GameDelegate* m_new();

    void StartGame() override;
    void SuspendGame() override;
    void ResumeGame() override;
    void UpdateGame() override;
    void RenderGame() override;
    void KeyEvent(int event, int data) override;
    void MouseEvent(int event, int data, float x, float y) override;
    void TouchEvent(int event, int data, float x, float y) override;
    void MotionEvent(int event, int data, float x, float y, float z) override;
    void DiscardGraphics() override;

    void mark() override;
};

// The host's own record: the modes the host reports are kept as they come.
using c_DisplayMode = VxDisplayMode;

extern VxRoot<c_App*> vx_app__app;
extern VxRoot<c_GameDelegate*> vx_app__delegate;
extern VxGame* vx_app__game;
extern int vx_app__updateRate;
extern int vx_app__devWidth;
extern int vx_app__devHeight;
extern VxRoot<Array<c_DisplayMode*>> vx_app__displayModes;
extern VxRoot<c_DisplayMode*> vx_app__desktopMode;

// The module's part of the program's global initialisation: binds it to the host object.
void vx_app_Init();

// Takes the window size from the host; the application is not told of a change.
int vx_app_ValidateDeviceWindow(bool notify);
int vx_app_DeviceWidth();
int vx_app_DeviceHeight();
int vx_app_SetUpdateRate(int hertz);
int vx_app_Millisecs();
String vx_app_LoadState();
// A failed save goes unnoticed by the caller.
int vx_app_SaveState(String state);
// The host's display modes without duplicate sizes, in the host's order, and the desktop's mode.
int vx_app_EnumDisplayModes();
// Reopens the window full screen at the desktop's size, so the monitor keeps its resolution, or
// windowed at the first window's size; both with the desktop's colour bits. False, and the window
// stays as it is, when the host knows no desktop mode.
bool vx_app_SetFullscreen(bool fullscreen);
// Ends the process at once with exit status 0.
[[noreturn]] void vx_app_EndApp();
