#include "net/url.h"

#include <gtest/gtest.h>

#include <ostream>
#include <string>

namespace {

struct UrlCase {
    std::u16string text;
    std::u16string scheme, username, password, domain;
    int port;
    std::u16string path, query, fragment, fullPath;
};

std::u16string units(const String& s) { return {s.Data(), s.Data() + s.Length()}; }

void PrintTo(const UrlCase& c, std::ostream* out) { *out << std::string(c.text.begin(), c.text.end()); }

class UrlParsing : public ::testing::TestWithParam<UrlCase> {};

TEST_P(UrlParsing, SplitsEveryPart) {
    const UrlCase& c = GetParam();
    c_Url* url = (new c_Url)->m_new(String(c.text.data(), int(c.text.size())), String(u"http"), 80);
    EXPECT_EQ(units(url->m_scheme), c.scheme);
    EXPECT_EQ(units(url->m_username), c.username);
    EXPECT_EQ(units(url->m_password), c.password);
    EXPECT_EQ(units(url->p_Domain()), c.domain);
    EXPECT_EQ(url->p_Port(), c.port);
    EXPECT_EQ(units(url->m_path), c.path);
    EXPECT_EQ(units(url->m_query), c.query);
    EXPECT_EQ(units(url->m_fragment), c.fragment);
    EXPECT_EQ(units(url->p_FullPath()), c.fullPath);
}

INSTANTIATE_TEST_SUITE_P(
    Url, UrlParsing,
    ::testing::Values(
        UrlCase{u"http://example.org:8080/a/b?x=1#top", u"http", u"", u"", u"example.org", 8080, u"/a/b",
                u"x=1", u"top", u"/a/b?x=1#top"},
        UrlCase{u"example.org", u"http", u"", u"", u"example.org", 80, u"/", u"", u"", u"/"},
        UrlCase{u"ftp://host", u"ftp", u"", u"", u"host", 80, u"/", u"", u"", u"/"},
        UrlCase{u"host:81", u"http", u"", u"", u"host", 81, u"/", u"", u"", u"/"},
        UrlCase{u"host/p:1", u"http", u"", u"", u"host", 80, u"/p:1", u"", u"", u"/p:1"},
        // The query ends at the fragment; a "?" inside the fragment is part of it.
        UrlCase{u"http://h/p?a#b?c", u"http", u"", u"", u"h", 80, u"/p", u"a", u"b?c", u"/p?a#b?c"},
        UrlCase{u"http://h/p#f?x", u"http", u"", u"", u"h", 80, u"/p", u"", u"f?x", u"/p#f?x"},
        UrlCase{u"http://h?q", u"http", u"", u"", u"h", 80, u"/", u"q", u"", u"/?q"},
        UrlCase{u"http://name:secret@h:90/x", u"http", u"name", u"secret", u"h", 90, u"/x", u"", u"", u"/x"},
        UrlCase{u"http://name@h", u"http", u"name", u"", u"h", 80, u"/", u"", u"", u"/"},
        // "://" and "@" only count before the path's end.
        UrlCase{u"h/a?u=http://x@y", u"http", u"", u"", u"h", 80, u"/a", u"u=http://x@y", u"",
                u"/a?u=http://x@y"},
        // The authority ends at the first "/": an "@" or "://" in the path cannot choose the host.
        UrlCase{u"http://good.example/a@evil.example/x", u"http", u"", u"", u"good.example", 80,
                u"/a@evil.example/x", u"", u"", u"/a@evil.example/x"},
        UrlCase{u"good.example/x://evil.example/", u"http", u"", u"", u"good.example", 80,
                u"/x://evil.example/", u"", u"", u"/x://evil.example/"},
        UrlCase{u"http://u@h:81/p@q:1", u"http", u"u", u"", u"h", 81, u"/p@q:1", u"", u"", u"/p@q:1"},
        // Ports are read as C does: leading digits, 0 when there are none, saturated when too long.
        UrlCase{u"h:12ab/p", u"http", u"", u"", u"h", 12, u"/p", u"", u"", u"/p"},
        UrlCase{u"h:/p", u"http", u"", u"", u"h", 0, u"/p", u"", u"", u"/p"},
        UrlCase{u"h:99999999999999", u"http", u"", u"", u"h", 2147483647, u"/", u"", u"", u"/"}));

TEST(Url, SetAgainStartsFromTheDefaults) {
    c_Url* url = (new c_Url)->m_new(String(u"https://u:p@h:1/x?q#f"), String(u"http"), 80);
    url->p_Set2(String(u"other"));
    EXPECT_EQ(units(url->m_scheme), u"http");
    EXPECT_EQ(url->m_username.Length() + url->m_password.Length() + url->m_query.Length() +
                  url->m_fragment.Length(),
              0);
    EXPECT_EQ(units(url->p_Domain()), u"other");
    EXPECT_EQ(url->p_Port(), 80);
    EXPECT_EQ(units(url->p_FullPath()), u"/");
}

} // namespace
