// The game delegate: every host event becomes calls on the devices and the application. The input
// device always hears of an event before the application runs.
#include "devices/audio/audio.h"
#include "devices/graphics/graphics.h"
#include "framework/app/app.h"
#include "framework/audio/audio.h"
#include "framework/graphics/graphics.h"
#include "framework/input/input.h"
#include "host/game.h"

c_GameDelegate* c_GameDelegate::m_new() { return this; }

void c_GameDelegate::StartGame() {
    if (!VxGame::_game->Headless()) {
        gc_assign(graphics, new gxtkGraphics);
        vx_graphics_SetGraphicsDevice(graphics);
        vx_graphics_SetFont(nullptr, 32);
        gc_assign(audio, new gxtkAudio);
        vx_audio_SetAudioDevice(audio);
    }
    gc_assign(input, (new c_InputDevice)->m_new());
    vx_input_SetInputDevice(input);
    vx_app_ValidateDeviceWindow(false);
    vx_app_EnumDisplayModes();
    vx_app__app->p_OnCreate();
}

void c_GameDelegate::SuspendGame() {
    vx_app__app->p_OnSuspend();
    audio->Suspend();
}

void c_GameDelegate::ResumeGame() {
    audio->Resume();
    vx_app__app->p_OnResume();
}

// Hits and characters are forgotten after the update, so the game sees each in exactly one update.
void c_GameDelegate::UpdateGame() {
    vx_app_ValidateDeviceWindow(true);
    input->p_BeginUpdate();
    vx_app__app->p_OnUpdate();
    input->p_EndUpdate();
}

// The context's render device is set only inside the bracket, so drawing outside a render fails.
void c_GameDelegate::RenderGame() {
    vx_app_ValidateDeviceWindow(true);
    int mode = graphics->BeginRender();
    if (mode) vx_graphics_BeginRender();
    vx_app__app->p_OnRender();
    if (mode) vx_graphics_EndRender();
    graphics->EndRender();
}

// The window's close button arrives as a key; a repeated key-down of it ends the program too.
void c_GameDelegate::KeyEvent(int event, int data) {
    input->p_KeyEvent(event, data);
    if (event != KeyDown) return;
    if (data == KEY_CLOSE) vx_app__app->p_OnClose();
    if (data == KEY_BACK) vx_app__app->p_OnBack();
}

void c_GameDelegate::MouseEvent(int event, int data, float x, float y) {
    input->p_MouseEvent(event, data, x, y);
}

void c_GameDelegate::TouchEvent(int event, int data, float x, float y) {
    input->p_TouchEvent(event, data, x, y);
}

void c_GameDelegate::MotionEvent(int event, int data, float x, float y, float z) {
    input->p_MotionEvent(event, data, x, y, z);
}

void c_GameDelegate::DiscardGraphics() { graphics->DiscardGraphics(); }

void c_GameDelegate::mark() {
    gc_mark_q(graphics);
    gc_mark_q(audio);
    gc_mark_q(input);
}
