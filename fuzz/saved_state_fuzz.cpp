// Any bytes as the state file through the game's load: whatever it keeps, a save and a load again
// give the same settings, badges and scores.
#include "framework/app/app.h"
#include "fuzz_support.h"
#include "game/my_app.h"

#include <vector>

namespace {

// Holds the state text in memory.
class StateHost : public VxGame {
  public:
    String state;
    int SaveState(String text) override {
        state = text;
        return 0;
    }
    String LoadState() override { return state; }
};

template <class T> std::vector<T> Copy(const Array<T>& array) {
    return std::vector<T>(array.begin(), array.end());
}

c_MyApp* TheApp(StateHost& host) {
    static c_MyApp* app = [&host] {
        VxGame::_game = &host;
        vx_app_Init();
        vx_game_Init();
        auto* made = (new c_MyApp)->m_new();
        return made;
    }();
    return app;
}

} // namespace

extern "C" int LLVMFuzzerInitialize(int*, char***) {
    // The load reports what it kept on standard output; libFuzzer speaks on standard error.
    return std::freopen("/dev/null", "w", stdout) ? 0 : 1;
}

extern "C" int LLVMFuzzerTestOneInput(const unsigned char* data, std::size_t size) {
    static StateHost host;
    c_MyApp* app = TheApp(host);
    host.state = String::FromBytes(data, size);
    app->p_Load();
    auto setting = Copy(app->m_Setting);
    auto badge = Copy(app->m_Badge);
    auto score = Copy(app->m_HiScore);
    app->p_Save();
    app->p_Load();
    FUZZ_CHECK(Copy(app->m_Setting) == setting);
    FUZZ_CHECK(Copy(app->m_Badge) == badge);
    FUZZ_CHECK(Copy(app->m_HiScore) == score);
    CollectGarbage();
    return 0;
}
