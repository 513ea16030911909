// The collector: an incremental, non-moving mark-and-sweep collector with a write barrier.
//
// Invariants (everything below keeps them):
// - Every collected object sits in exactly one of four circular lists: unmarked (not reached in
//   this cycle, new objects included), queued (grey: reached, references not yet marked), marked
//   (black) and free (found dead, waiting for its destructor).
// - An object's colour is the low two bits of `flags`. Equal to `gc_markbit` means unmarked; the
//   other value means marked. The mark bit flips at every cycle end, so survivors become unmarked
//   without being touched. Colour 3 is for static objects, which are never queued, moved or freed.
// - Every stored reference goes through gc_assign, which greys an unmarked value before storing it,
//   so nothing stored into a black object during a cycle can be missed.
// - The native stack is never scanned: steps run only between calls into the game, when no local
//   holds a reference, and allocation never starts a collection.
// - Destruction is deferred: dead objects are destroyed by later allocations, byte for byte.
// - A block joins the unmarked list when its object's gc_object constructor runs; blocks allocated
//   but not yet constructed (the arguments of a `new` are evaluated in between) wait in a short
//   list of pending blocks.
//
// Single-threaded, except gc_ext_new_bytes, which loaders on any thread bump atomically.
#pragma once

#include <atomic>
#include <cstddef>
#include <cstdint>
#include <type_traits>

// The list links come first after the virtual-table pointer; list heads are bare links.
struct gc_link {
    gc_link* succ;
    gc_link* pred;
};

struct gc_static_tag {};

struct gc_object : gc_link {
    uint32_t flags; // size in bytes (multiple of 8) | colour

    // The header is written here, by the object itself, from what gc_object_alloc noted about its
    // block: nothing is stored into the block before the object's lifetime begins, so no compiler
    // (or link-time optimiser) may drop it, and value-initialisation, which zeroes the object
    // first, cannot erase it. An object not made by gc_object_alloc (a global or a local) gets
    // colour 3 and no list, as static objects do: the collector never queues or frees it.
    gc_object() { take_header(); }
    // Static objects (the empty arrays): coloured 3 and in no list.
    explicit gc_object(gc_static_tag) : gc_link{nullptr, nullptr}, flags(3) {}
    gc_object(const gc_object&) = delete;
    gc_object& operator=(const gc_object&) = delete;
    virtual ~gc_object() {}

    // Greys every collected object this object references.
    virtual void mark() {}

    int gc_size() const { return int(flags & ~7u); }
    int gc_colour() const { return int(flags & 3u); }

    static void* operator new(std::size_t size);
    // Only reached when construction fails: the block is unlinked and returned at once.
    static void operator delete(void* p, std::size_t size);

  private:
    void take_header();
};

// Base of collectable interfaces: an interface reference is turned back into its object to mark it.
// A class that implements interfaces names its object base first, so that the object (and the header
// gc_object_alloc fills in) starts the block.
struct gc_interface {
    virtual ~gc_interface() {}
};

inline constexpr int gc_cycle_bytes = 0x800000;

extern int gc_markbit;
extern int gc_new_bytes;
extern std::atomic<int> gc_ext_new_bytes;
extern int gc_alloced_bytes;
extern int gc_marked_bytes;
extern int gc_free_bytes;

extern gc_link gc_unmarked_list;
extern gc_link gc_queued_list;
extern gc_link gc_marked_list;
extern gc_link gc_free_list;

// A block for an object of `size` bytes, which must be constructed (as a gc_object) next or
// handed back with gc_object_free.
void* gc_object_alloc(int size);
void gc_object_free(void* block);
void gc_ext_malloced(int bytes);
void gc_init1();

// Grey: an unmarked object moves to the end of the queue.
void gc_grey(gc_object* p);
// Mark at once: an unmarked object becomes black and its mark() runs now.
void gc_mark_now(gc_object* p);
void gc_mark_queued(int target);
void gc_sweep();
// Greys every registered global root.
void gc_mark();
// One collector step; `extra_root` (the host's delegate) is marked at once first.
void gc_collect_step(gc_object* extra_root);

inline bool gc_is_unmarked(const gc_object* p) { return p->gc_colour() == gc_markbit; }

// The collected object behind a reference: objects are themselves, interfaces are cast back.
template <class T> inline gc_object* gc_obj(T* p) {
    if constexpr (std::is_base_of_v<gc_object, T>)
        return p;
    else
        return dynamic_cast<gc_object*>(p);
}

template <class T> inline void gc_mark_q(T* p) {
    if (!p) return;
    gc_object* o = gc_obj(p);
    if (o && gc_is_unmarked(o)) gc_grey(o);
}

// The store barrier for every reference: grey the value if unmarked, then store it.
template <class T, class U> inline T* gc_assign(T*& ref, U* value) {
    gc_mark_q(value);
    return ref = value;
}

// Global roots. Every module global holding a collected reference is a VxRoot, which registers
// itself at static initialisation, so gc_mark() cannot forget one.
class VxRootBase {
  public:
    VxRootBase();
    VxRootBase(const VxRootBase&) = delete;
    VxRootBase& operator=(const VxRootBase&) = delete;
    virtual void grey() = 0;
    static void grey_all();

  protected:
    ~VxRootBase() = default;

  private:
    VxRootBase* next;
    static VxRootBase* first;
};

template <class T> class VxRoot final : public VxRootBase {
  public:
    VxRoot() : value() {}
    VxRoot& operator=(const T& v) {
        gc_assign(value, v);
        return *this;
    }
    operator const T&() const { return value; }
    const T& get() const { return value; }
    auto operator->() const { return value; }
    void grey() override { gc_mark_q(value); }

  private:
    T value;
};
