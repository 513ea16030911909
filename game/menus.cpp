#include "game/my_app.h"

// Not written yet.
int c_MyApp::p_Menu() { return 0; }
int c_MyApp::p_LoadMenu() { return 0; }
int c_MyApp::p_PauseMenu() { return 0; }
int c_MyApp::p_OptionBox() { return 0; }
int c_MyApp::p_ShowBadges() { return 0; }
int c_MyApp::p_OuyaQuit() { return 0; }
