#include "game/my_app.h"

// Not written yet.
int c_MyApp::p_ResetStars(int) { return 0; }
int c_MyApp::p_DoStars(float, float) { return 0; }
int c_MyApp::p_ResetParticles(int) { return 0; }
int c_MyApp::p_FreeParticle() { return 0; }
int c_MyApp::p_AddParticle(int, float, float, float, float, int, int, int) { return 0; }
int c_MyApp::p_ThrowParticle(float, float, int, int, float, float) { return 0; }
int c_MyApp::p_DoParticles(float) { return 0; }
