// The URL parser on any text: nothing after the authority can reach the host name or the port.
#include "fuzz_support.h"
#include "net/url.h"

namespace {

bool hasAny(const String& text, const String& chars) {
    for (int i = 0; i < chars.Length(); ++i)
        if (text.Find(String::FromChar(chars[i])) >= 0) return true;
    return false;
}

} // namespace

extern "C" int LLVMFuzzerTestOneInput(const unsigned char* data, std::size_t size) {
    String text = String::FromBytes(data, size);
    c_Url* url = (new c_Url)->m_new(text, String(u"http"), 80);
    FUZZ_CHECK(!hasAny(url->p_Domain(), String(u"/?#")));
    FUZZ_CHECK(url->m_path.Length() > 0 && url->m_path[0] == '/');
    String full = url->p_FullPath();
    FUZZ_CHECK(full.StartsWith(url->m_path));
    url->p_Set2(full);
    CollectGarbage();
    return 0;
}
