#include "game/my_app.h"

// Not written yet.
int c_MyApp::p_LoadGame() { return 0; }
int c_MyApp::p_ResetPlayers() { return 0; }
int c_MyApp::p_Game() { return 0; }
int c_MyApp::p_InGame() { return 0; }
int c_MyApp::p_Gimme(int, float, float) { return 0; }
int c_MyApp::p_ScoreDisplay() { return 0; }
String c_MyApp::p_Nth(int) { return String(); }
String c_MyApp::p_MyNth() { return String(); }
int c_MyApp::p_GameOver() { return 0; }
