#include "game/my_app.h"

// Not written yet.
int c_MyApp::p_PlayKey(int, int, int) { return 0; }
int c_MyApp::p_PlayKeyAll(int, int) { return 0; }
float c_MyApp::p_StickX(int, int) { return 0; }
float c_MyApp::p_StickY(int, int) { return 0; }
int c_MyApp::p_AnalogueControl() { return 0; }
int c_MyApp::p_iCade(int) { return 0; }
int c_MyApp::p_ReadICade() { return 0; }
int c_MyApp::p_Button(int, float, float, int) { return 0; }
int c_MyApp::p_Button(float, float, int) { return 0; }
bool c_MyApp::p_Button0(int, float, float, int) { return false; }
int c_MyApp::p_Touch(float, float, float, float) { return 0; }
int c_MyApp::p_Touch(float, float) { return 0; }
int c_MyApp::p_MouseIn(float, float, float, float) { return 0; }
int c_MyApp::p_MouseIn_Centered(float, float, float, float) { return 0; }
int c_MyApp::p_MouseIn_Radius(float, float, float, float) { return 0; }
int c_MyApp::p_TouchPad() { return 0; }
int c_MyApp::p_TiltOverlay() { return 0; }
