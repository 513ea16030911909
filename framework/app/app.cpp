// The application object and the application module.
#include "framework/app/app.h"

#include "host/console.h"
#include "host/game.h"
#include "runtime/containers.h"

VxRoot<c_App*> vx_app__app;
VxRoot<c_GameDelegate*> vx_app__delegate;
VxGame* vx_app__game = nullptr;
int vx_app__updateRate = 0;
int vx_app__devWidth = 0;
int vx_app__devHeight = 0;
VxRoot<Array<c_DisplayMode*>> vx_app__displayModes;
VxRoot<c_DisplayMode*> vx_app__desktopMode;

c_App* c_App::m_new() {
    if (vx_app__app) vxError(String(u"App has already been created"));
    vx_app__app = this;
    vx_app__delegate = (new c_GameDelegate)->m_new();
    vx_app__game->SetDelegate(vx_app__delegate);
    return this;
}

int c_App::p_OnCreate() { return 0; }
int c_App::p_OnSuspend() { return 0; }
int c_App::p_OnResume() { return 0; }
int c_App::p_OnUpdate() { return 0; }
int c_App::p_OnRender() { return 0; }
int c_App::p_OnClose() { vx_app_EndApp(); }
int c_App::p_OnBack() { vx_app_EndApp(); }

void vx_app_Init() { vx_app__game = VxGame::_game; }

int vx_app_ValidateDeviceWindow(bool notify) {
    vx_app__devWidth = vx_app__game->GetDeviceWidth();
    vx_app__devHeight = vx_app__game->GetDeviceHeight();
    return 0;
}

int vx_app_DeviceWidth() { return vx_app__devWidth; }
int vx_app_DeviceHeight() { return vx_app__devHeight; }

int vx_app_SetUpdateRate(int hertz) {
    vx_app__updateRate = hertz;
    vx_app__game->SetUpdateRate(hertz);
    return 0;
}

int vx_app_Millisecs() { return vx_app__game->Millisecs(); }
String vx_app_LoadState() { return vx_app__game->LoadState(); }

int vx_app_SaveState(String state) {
    vx_app__game->SaveState(state);
    return 0;
}

int vx_app_EnumDisplayModes() {
    auto* seen = (new c_IntMap<c_DisplayMode*>)->m_new();
    auto* distinct = (new c_Stack<c_DisplayMode*>)->m_new();
    for (c_DisplayMode* mode : vx_app__game->GetDisplayModes()) {
        int key = mode->width << 16 | mode->height;
        if (seen->p_Contains(key)) continue;
        seen->p_Insert(key, mode);
        distinct->p_Push(mode);
    }
    vx_app__displayModes = distinct->p_ToArray();
    c_DisplayMode* desktop = vx_app__game->GetDesktopMode();
    vx_app__desktopMode = desktop ? desktop : (new c_DisplayMode)->m_new(vx_app__devWidth, vx_app__devHeight);
    return 0;
}

bool vx_app_SetFullscreen(bool fullscreen) {
    c_DisplayMode* desktop = vx_app__game->GetGlfwDesktopMode();
    if (desktop->width <= 0 || desktop->height <= 0) return false;
    VxWindowRequest request{.red = desktop->redBits,
                            .green = desktop->greenBits,
                            .blue = desktop->blueBits,
                            .fullscreen = fullscreen};
    if (fullscreen) {
        request.width = desktop->width;
        request.height = desktop->height;
    }
    vx_app__game->SetGlfwWindow(request);
    return true;
}

void vx_app_EndApp() { vxError(String()); }
