#include "game/my_app.h"

// Not written yet.
int c_MyApp::p_LoadSFX(int) { return 0; }
int c_MyApp::p_PlaySFX(int, float, float, float) { return 0; }
int c_MyApp::p_PlayTune(String, int) { return 0; }
int c_MyApp::p_StopTune() { return 0; }
