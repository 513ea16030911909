// The check-in: one anonymous GET to the check-in server at start-up, when allowed. The answer is
// only kept; a non-empty one marks the check-in as done.
#include "game/my_app.h"
#include "host/console.h"

int c_MyApp::p_GetURL(String url, String query) {
    m_HouseCallText = String(u"N/A");
    auto* request = (new c_HttpRequest)->m_new();
    request->p_Open(String(u"GET"), url + String(u"?") + query, this);
    gc_assign(m_Http, request);
    request->p_Send();
    vxPrint(String(u"Requesting URL"));
    m_HttpState = 0;
    return 0;
}

// Only the request in m_Http counts: one replaced by a later check-in is ignored when it ends.
void c_MyApp::p_OnHttpRequestComplete(c_HttpRequest* request) {
    if (!request || request != m_Http) return;
    vxPrint(String(u"Http GET complete! ") + String(request->p_Status()));
    m_HttpState = 1;
    m_HouseCallText = request->p_ResponseText();
    if (m_HouseCallText.Length() > 0) J_On_Able = 1;
}
