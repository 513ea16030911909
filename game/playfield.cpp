#include "game/my_app.h"

// Not written yet.
int c_MyApp::p_Rand(float, float) { return 0; }
int c_MyApp::p_SeedRnd(int) { return 0; }
int c_MyApp::p_AddFloor(int) { return 0; }
bool c_MyApp::p_isFloor(float, float) { return false; }
bool c_MyApp::p_isSolid(float, float) { return false; }
bool c_MyApp::p_isBump(float, float) { return false; }
int c_MyApp::p_BumpFloor(float, float) { return 0; }
int c_MyApp::p_ResetGrid() { return 0; }
int c_MyApp::p_ResetObj() { return 0; }
int c_MyApp::p_FlushGame() { return 0; }
int c_MyApp::p_DoCells() { return 0; }
