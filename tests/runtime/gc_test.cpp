#include "runtime/containers.h"
#include "runtime/gc.h"
#include "runtime/object.h"

#include <gtest/gtest.h>

#include <stdexcept>

namespace {

int destroyed;

class Thing : public Object {
  public:
    Thing* next = nullptr;
    Array<int> numbers;
    String name;
    ~Thing() override { ++destroyed; }
    void mark() override {
        gc_mark_q(next);
        gc_mark_q(numbers);
    }
};

VxRoot<Thing*> root;
VxRoot<c_Stack<Thing*>*> stack_root;
VxRoot<c_Stack<Array<int>>*> arrays_root;
VxRoot<Object*> object_root;

int list_count(const gc_link& head) {
    int n = 0;
    for (const gc_link* p = head.succ; p != &head; p = p->succ) ++n;
    return n;
}

bool in_list(const gc_link& head, const gc_object* o) {
    for (const gc_link* p = head.succ; p != &head; p = p->succ)
        if (p == static_cast<const gc_link*>(o)) return true;
    return false;
}

// Ends the current cycle at the next step, as a large image load would.
void end_cycle() {
    gc_ext_malloced(gc_cycle_bytes + 1);
    gc_collect_step(nullptr);
}

class Collector : public ::testing::Test {
  protected:
    void SetUp() override {
        root = nullptr;
        stack_root = nullptr;
        arrays_root = nullptr;
        // Two cycle ends leave nothing of earlier tests but dead objects awaiting destruction, and
        // allocations destroy those now, so that only this test's own objects are counted.
        end_cycle();
        end_cycle();
        while (gc_free_list.succ != &gc_free_list) new Object;
        destroyed = 0;
    }
};

TEST_F(Collector, DroppedObjectIsDestroyedByAnAllocationAfterTheCycleEnds) {
    new Thing;
    gc_collect_step(nullptr);
    EXPECT_EQ(destroyed, 0);
    end_cycle();
    EXPECT_EQ(destroyed, 0) << "destruction waits for an allocation to pay for it";
    EXPECT_GE(gc_free_bytes, int(sizeof(Thing)));
    int before = destroyed;
    for (int i = 0; i < 64 && destroyed == before; ++i) new Thing;
    EXPECT_GT(destroyed, before);
}

TEST_F(Collector, ObjectReachableFromARootSurvivesManyCycles) {
    root = new Thing;
    gc_assign(root->next, new Thing);
    gc_assign(root->numbers, Array<int>(100));
    root->name = String(u"kept");
    for (int i = 0; i < 5; ++i) {
        end_cycle();
        for (int k = 0; k < 10; ++k) new Thing; // garbage that pays for destruction
    }
    ASSERT_NE(root->next, nullptr);
    EXPECT_EQ(root->numbers.Length(), 100);
    EXPECT_EQ(root->name, String(u"kept"));
    end_cycle();
    EXPECT_TRUE(in_list(gc_queued_list, root.get())) << "the new cycle greys the roots";
    EXPECT_TRUE(in_list(gc_unmarked_list, root->next));
}

TEST_F(Collector, StoreIntoABlackObjectKeepsTheNewObjectAlive) {
    root = new Thing;
    end_cycle();                // the new cycle greys the root
    gc_mark_queued(0x7fffffff); // ... and marks it black
    ASSERT_TRUE(in_list(gc_marked_list, root.get()));
    Thing* late = new Thing;
    gc_assign(root->next, late); // the barrier greys it
    EXPECT_TRUE(in_list(gc_queued_list, late));
    end_cycle();
    EXPECT_FALSE(in_list(gc_free_list, late));
    EXPECT_TRUE(in_list(gc_unmarked_list, late));
}

TEST_F(Collector, CycleEndCountsOnlyReachedBytes) {
    root = new Thing;
    gc_assign(root->next, new Thing);
    for (int i = 0; i < 20; ++i) new Thing;
    end_cycle();
    end_cycle();
    EXPECT_EQ(gc_new_bytes, 0);
    EXPECT_EQ(gc_ext_new_bytes.load(), 0);
    int reached = root->gc_size() + root->next->gc_size();
    EXPECT_EQ(gc_alloced_bytes, reached);
    EXPECT_EQ(list_count(gc_unmarked_list) + list_count(gc_queued_list), 2);
}

TEST_F(Collector, EmptyArraysAreNeverQueuedOrFreed) {
    root = new Thing;
    Array<int> empty;
    for (int i = 0; i < 50; ++i) {
        Thing* t = new Thing;
        gc_assign(t->numbers, empty);
    }
    gc_assign(root->numbers, empty);
    end_cycle();
    end_cycle();
    EXPECT_EQ(empty.rep->gc_colour(), 3);
    EXPECT_EQ(empty.rep->succ, nullptr);
    EXPECT_EQ(Array<int>(0).rep, empty.rep);
    EXPECT_FALSE(in_list(gc_free_list, empty.rep));
}

TEST_F(Collector, IncrementalStepMarksNoMoreThanItsPace) {
    root = new Thing;
    Thing* t = root;
    for (int i = 0; i < 1000; ++i) t = gc_assign(t->next, new Thing);
    end_cycle(); // the chain is all alive and unmarked; the root is grey
    int size = root->gc_size();
    for (int i = 0; i < 10; ++i) new Thing;
    int64_t target = gc_new_bytes + int64_t(gc_alloced_bytes - gc_new_bytes) * gc_new_bytes / gc_cycle_bytes;
    gc_collect_step(nullptr);
    EXPECT_GE(gc_marked_bytes, target);
    EXPECT_LT(gc_marked_bytes, target + size);
    EXPECT_LT(gc_marked_bytes, 1001 * size) << "a step must not mark the whole heap";
}

TEST_F(Collector, ArrayOfReferencesMarksItsElementsAtOnce) {
    auto* holder = (new c_Stack<Thing*>)->m_new();
    for (int i = 0; i < 3; ++i) holder->p_Push(new Thing);
    stack_root = holder;
    end_cycle();                         // greys the stack
    gc_mark_queued(1);                   // the stack: greys its array
    gc_mark_queued(gc_marked_bytes + 1); // the array: its elements turn black at once
    EXPECT_TRUE(in_list(gc_marked_list, holder->data.rep));
    for (int i = 0; i < 3; ++i) EXPECT_TRUE(in_list(gc_marked_list, holder->p_Get(i)));
    EXPECT_EQ(list_count(gc_queued_list), 0);
}

TEST_F(Collector, ArrayPushedIntoAMarkedStackSurvivesTheSweep) {
    auto* stack = (new c_Stack<Array<int>>)->m_new();
    stack->p_Push(Array<int>(1)); // room for more without growing
    arrays_root = stack;
    end_cycle();
    gc_mark_queued(0x7fffffff);
    ASSERT_TRUE(in_list(gc_marked_list, stack->data.rep));
    Array<int> late(4);
    stack->p_Push(late);
    end_cycle();
    EXPECT_FALSE(in_list(gc_free_list, late.rep));
    EXPECT_TRUE(in_list(gc_unmarked_list, late.rep));
}

// `new T()` of a class without a constructor of its own zeroes the whole object, header included,
// before constructing it.
TEST_F(Collector, ValueInitialisedObjectsKeepTheirHeader) {
    Thing* thing = new Thing();
    ASSERT_EQ(thing->gc_size(), int((sizeof(Thing) + 7) & ~std::size_t(7)));
    EXPECT_TRUE(gc_is_unmarked(thing));
    EXPECT_EQ(gc_unmarked_list.pred, thing);
    root = thing;
    gc_assign(root->next, new Thing());
    end_cycle();
    end_cycle();
    EXPECT_EQ(gc_alloced_bytes, 2 * thing->gc_size());
}

TEST_F(Collector, DelegateIsMarkedAtOnceAtEveryStep) {
    Thing* delegate = new Thing;
    gc_assign(delegate->next, new Thing);
    gc_collect_step(delegate);
    EXPECT_TRUE(in_list(gc_marked_list, delegate));
    EXPECT_FALSE(gc_is_unmarked(delegate->next));
}

TEST_F(Collector, SmallBlocksAreRecycledThroughTheCache) {
    new Thing;
    end_cycle();
    int free_before = gc_free_bytes;
    ASSERT_GE(free_before, int(sizeof(Thing)));
    // The allocation destroys a dead Thing first; its block comes straight back.
    gc_link* last_dead = gc_free_list.pred;
    Thing* reused = new Thing;
    EXPECT_EQ(static_cast<gc_link*>(reused), last_dead);
}

class Throws : public Object {
  public:
    Throws() { throw std::runtime_error("no"); }
};

Thing* throwing_argument() { throw std::runtime_error("no"); }

class Holder : public Object {
  public:
    explicit Holder(Object* o) : held(o) {}
    Object* held;
    void mark() override { gc_mark_q(held); }
};

TEST_F(Collector, ConstructorThatThrowsGivesItsBlockBack) {
    int alloced = gc_alloced_bytes;
    int unmarked = list_count(gc_unmarked_list);
    EXPECT_THROW(new Throws, std::runtime_error);
    // The block of a Holder is allocated before its argument throws, and never constructed.
    EXPECT_THROW(new Holder(throwing_argument()), std::runtime_error);
    EXPECT_EQ(gc_alloced_bytes, alloced);
    EXPECT_EQ(list_count(gc_unmarked_list), unmarked);
    // Both blocks are free again: the next allocations find a working heap.
    Thing* after = new Thing();
    EXPECT_EQ(gc_unmarked_list.pred, after);
}

// The outer block is allocated first, the inner object made and constructed in between.
TEST_F(Collector, NestedNewGivesEachObjectItsOwnHeader) {
    auto* outer = new Holder(new Holder(new Thing()));
    auto* middle = static_cast<Holder*>(outer->held);
    int holder_size = int((sizeof(Holder) + 7) & ~std::size_t(7));
    EXPECT_EQ(outer->gc_size(), holder_size);
    EXPECT_EQ(middle->gc_size(), holder_size);
    EXPECT_EQ(middle->held->gc_size(), int((sizeof(Thing) + 7) & ~std::size_t(7)));
    EXPECT_EQ(gc_unmarked_list.pred, outer);
    object_root = outer;
    end_cycle();
    end_cycle();
    EXPECT_EQ(destroyed, 0);
    EXPECT_EQ(gc_alloced_bytes, 2 * holder_size + middle->held->gc_size());
    object_root = nullptr;
}

Thing global_thing;

// Objects outside the collected heap are never queued, moved or freed, whatever the mark bit.
TEST_F(Collector, ObjectsNotOnTheHeapAreLeftAlone) {
    Thing local;
    for (Thing* t : {&global_thing, &local}) {
        EXPECT_EQ(t->gc_colour(), 3);
        root = t;
        end_cycle();
        end_cycle();
        EXPECT_EQ(t->succ, nullptr);
        EXPECT_EQ(t->gc_colour(), 3);
    }
    root = nullptr;
    EXPECT_EQ(destroyed, 0);
}

} // namespace
