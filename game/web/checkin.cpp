// The page has no sockets, so the browser build leaves out the check-in and the networking under
// it: the check-in stays off there, as it is by default on the desktop, and asking for one answers
// as a check-in that never got through.
#include "game/my_app.h"

int c_MyApp::p_GetURL(String url, String query) {
    m_HouseCallText = String(u"N/A");
    return 0;
}

void c_MyApp::p_OnHttpRequestComplete(c_HttpRequest* request) {}
