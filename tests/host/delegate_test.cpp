// Delegate calls made from inside another delegate call: the collector waits for the outermost one.
#include "host/game.h"
#include "runtime/gc.h"

#include <gtest/gtest.h>

namespace {

bool localDestroyed = false;

// An object only a local variable refers to, as a half-done update holds one.
class Local : public Object {
  public:
    ~Local() override { localDestroyed = true; }
    char payload[200] = {};
};

class Filler : public Object {
  public:
    char payload[200] = {};
};

// Destroys every dead object waiting in the free list.
void DestroyTheDead() {
    while (gc_free_bytes > 0) new Filler();
}

// Counts the collector steps the host takes.
class CountingHost : public VxGame {
  public:
    int collects = 0;
    void gc_collect() override {
        ++collects;
        VxGame::gc_collect();
    }
};

// Its update holds a new object in a local while it makes a nested key event, as the full-screen
// toggle does when it releases the held keys, with a full collector cycle due.
class NestingDelegate : public VxGameDelegate {
  public:
    CountingHost* host = nullptr;
    bool survivedNestedCall = false;
    int collectsDuringUpdate = -1;

    void UpdateGame() override {
        Local* held = new Local();
        gc_ext_malloced(gc_cycle_bytes + 1);
        host->KeyEvent(KeyUp, 39);
        DestroyTheDead();
        survivedNestedCall = !localDestroyed && held->payload[0] == 0;
        collectsDuringUpdate = host->collects;
    }
};

TEST(NestedDelegateCall, CollectsOnlyWhenTheOutermostCallReturns) {
    CountingHost host;
    auto* delegate = new NestingDelegate();
    delegate->host = &host;
    host.SetDelegate(delegate);
    host.StartGame();
    int before = host.collects;

    host.UpdateGame();
    EXPECT_TRUE(delegate->survivedNestedCall);
    EXPECT_EQ(delegate->collectsDuringUpdate, before);
    EXPECT_EQ(host.collects, before + 1);

    // Once the update has returned, the object is garbage and the next cycle reclaims it.
    gc_ext_malloced(gc_cycle_bytes + 1);
    host.RenderGame();
    gc_ext_malloced(gc_cycle_bytes + 1);
    host.RenderGame();
    DestroyTheDead();
    EXPECT_TRUE(localDestroyed);
}

} // namespace
