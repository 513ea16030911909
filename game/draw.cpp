#include "game/my_app.h"

// Not written yet.
int c_MyApp::p_ResetDraw() { return 0; }
int c_MyApp::p_SetSize(float, float) { return 0; }
int c_MyApp::p_SetRot(float) { return 0; }
int c_MyApp::p_SetCol(float, float, float, float) { return 0; }
int c_MyApp::p_Alpha(float) { return 0; }
int c_MyApp::p_Ink(int, float) { return 0; }
int c_MyApp::p_CLS2D(float, float, float, float) { return 0; }
int c_MyApp::p_DoBG(int, int, int, float) { return 0; }
int c_MyApp::p_DrawImg(int, float, float, float) { return 0; }
int c_MyApp::p_Rect(float, float, float, float) { return 0; }
int c_MyApp::p_Oval(float, float, float, float) { return 0; }
int c_MyApp::p_Line(float, float, float, float) { return 0; }
int c_MyApp::p_Tri(float, float, float, float, float, float) { return 0; }
int c_MyApp::p_Tilt(float) { return 0; }
int c_MyApp::p_TiltOff() { return 0; }
int c_MyApp::p_Text(float, float, String, float, float, int) { return 0; }
String c_MyApp::p_rstr(int, int, String) { return String(); }
int c_MyApp::p_LoadImg(int, String, int, int, int, int) { return 0; }
int c_MyApp::p_LoadFont(int, String, int, int) { return 0; }
int c_MyApp::p_ReserveImg(int, int, int) { return 0; }
int c_MyApp::p_FreeObj(int) { return 0; }
int c_MyApp::p_ReplayDrawList() { return 0; }
