#include "game/my_app.h"

// Not written yet.
int c_MyApp::p_GetURL(String, String) { return 0; }
void c_MyApp::p_OnHttpRequestComplete(c_HttpRequest*) {}
