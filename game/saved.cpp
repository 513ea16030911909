#include "game/my_app.h"

// Not written yet.
int c_MyApp::p_Save() { return 0; }
int c_MyApp::p_Load() { return 0; }
String c_MyApp::p_BadgeID(int) { return String(); }
String c_MyApp::p_BadgeName(int) { return String(); }
String c_MyApp::p_BadgeDetail(int) { return String(); }
int c_MyApp::p_GC_PostScore(int, int) { return 0; }
int c_MyApp::p_GC_Badges() { return 0; }
