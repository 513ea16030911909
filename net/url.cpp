#include "net/url.h"

namespace {

// The position of `what` in text from `start`, or -1 when it does not occur before `end`.
int findBefore(const String& text, const String& what, int start, int end) {
    int at = text.Find(what, start);
    return at >= 0 && at < end ? at : -1;
}

} // namespace

c_Url* c_Url::m_new(const String& text, const String& defaultScheme, int defaultPort) {
    m_defaultScheme = defaultScheme;
    m_defaultPort = defaultPort;
    p_Set2(text);
    return this;
}

void c_Url::p_Set2(const String& text) {
    m_url = text;
    m_scheme = m_defaultScheme;
    m_username = m_password = m_domain = m_query = m_fragment = String();
    m_port = m_defaultPort;
    m_path = String(u"/");

    int length = text.Length();
    int hash = text.Find(String(u"#"));
    int question = findBefore(text, String(u"?"), 0, hash >= 0 ? hash : length);
    int end = question >= 0 ? question : hash >= 0 ? hash : length;

    // The scheme and the user information belong to the authority, which the path's "/" ends: a
    // "://" or "@" further on is part of the path and must not choose the host.
    int at = 0;
    int scheme = findBefore(text, String(u"://"), 0, end);
    if (scheme >= 0 && scheme < findBefore(text, String(u"/"), 0, end)) {
        m_scheme = text.Slice(0, scheme);
        at = scheme + 3;
    }
    int slash = findBefore(text, String(u"/"), at, end);
    int authorityEnd = slash >= 0 ? slash : end;
    if (int user = findBefore(text, String(u"@"), at, authorityEnd); user >= 0) {
        int colon = findBefore(text, String(u":"), at, user);
        m_username = text.Slice(at, colon >= 0 ? colon : user);
        if (colon >= 0) m_password = text.Slice(colon + 1, user);
        at = user + 1;
    }

    int colon = findBefore(text, String(u":"), at, authorityEnd);
    m_domain = text.Slice(at, colon >= 0 ? colon : authorityEnd);
    if (colon >= 0) m_port = text.Slice(colon + 1, authorityEnd).ToInt();
    if (slash >= 0) m_path = text.Slice(slash, end);

    if (question >= 0) m_query = text.Slice(question + 1, hash >= 0 ? hash : length);
    if (hash >= 0) m_fragment = text.Slice(hash + 1);
}

String c_Url::p_FullPath() const {
    String path = m_path;
    if (m_query.Length() > 0) path += String(u"?") + m_query;
    if (m_fragment.Length() > 0) path += String(u"#") + m_fragment;
    return path;
}
