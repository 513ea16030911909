#include "game/my_app.h"

// Not written yet.
int c_MyApp::p_OnCreate() { return 0; }
int c_MyApp::p_OnSuspend() { return 0; }
int c_MyApp::p_OnResume() { return 0; }
int c_MyApp::p_OnUpdate() { return 0; }
int c_MyApp::p_OnRender() { return 0; }
int c_MyApp::p_Reload() { return 0; }
int c_MyApp::p_Loader() { return 0; }
int c_MyApp::p_WaitStart(int) { return 0; }
int c_MyApp::p_FullscreenFlip() { return 0; }
int c_MyApp::p_ChooseTier() { return 0; }
int c_MyApp::p_Dispatch() { return 0; }
int c_MyApp::p_MapPointer() { return 0; }
int c_MyApp::p_ControlModeSwitch() { return 0; }
int c_MyApp::p_PauseOnFocusChange() { return 0; }
void c_MyApp::p_MeasureRate(int&, int&, int&) {}
