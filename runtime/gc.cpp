#include "gc.h"

#include <cstdlib>
#include <vector>

int gc_markbit = 1;
int gc_new_bytes;
std::atomic<int> gc_ext_new_bytes;
int gc_alloced_bytes;
int gc_marked_bytes;
int gc_free_bytes;

gc_link gc_unmarked_list{&gc_unmarked_list, &gc_unmarked_list};
gc_link gc_queued_list{&gc_queued_list, &gc_queued_list};
gc_link gc_marked_list{&gc_marked_list, &gc_marked_list};
gc_link gc_free_list{&gc_free_list, &gc_free_list};

VxRootBase* VxRootBase::first;

namespace {

constexpr int cache_max = 56;

// Freed blocks of 8 to 56 bytes, one stack per size, linked through their first word.
gc_link* gc_cache[cache_max / 8];

// Blocks allocated and not yet constructed, newest last, with the header each will get. Usually
// one; `new A(new B)` makes two, and so on.
struct pending_block {
    void* block;
    uint32_t flags;
};
// Reached through a function so that objects made during static initialisation find it ready.
std::vector<pending_block>& pending_blocks() {
    static std::vector<pending_block> pending;
    return pending;
}

// Takes a pending block out of the list; false when `block` is not pending.
bool take_pending(void* block, uint32_t* flags) {
    std::vector<pending_block>& pending = pending_blocks();
    for (auto it = pending.rbegin(); it != pending.rend(); ++it) {
        if (it->block != block) continue;
        *flags = it->flags;
        pending.erase(std::next(it).base());
        return true;
    }
    return false;
}

void list_clear(gc_link& head) { head.succ = head.pred = &head; }
bool list_empty(const gc_link& head) { return head.succ == &head; }

void list_unlink(gc_link* p) {
    p->pred->succ = p->succ;
    p->succ->pred = p->pred;
}

void list_append(gc_link& head, gc_link* p) {
    p->succ = &head;
    p->pred = head.pred;
    head.pred->succ = p;
    head.pred = p;
}

// Moves every node of `from` to the end of `to`, leaving `from` empty: constant time.
void list_splice(gc_link& from, gc_link& to) {
    if (list_empty(from)) return;
    from.succ->pred = to.pred;
    to.pred->succ = from.succ;
    from.pred->succ = &to;
    to.pred = from.pred;
    list_clear(from);
}

// `to` takes over the nodes of `from` (whatever `to` held is dropped); `from` becomes empty.
void list_move(gc_link& from, gc_link& to) {
    list_clear(to);
    list_splice(from, to);
}

gc_object* as_object(gc_link* p) { return static_cast<gc_object*>(p); }

void* take_block(int size) {
    if (size <= cache_max) {
        gc_link*& top = gc_cache[size / 8 - 1];
        if (gc_link* p = top) {
            top = p->succ;
            return p;
        }
    }
    return std::malloc(std::size_t(size));
}

void release_block(void* p, int size) {
    if (size <= cache_max) {
        gc_link*& top = gc_cache[size / 8 - 1];
        auto* block = static_cast<gc_link*>(p);
        block->succ = top;
        top = block;
        return;
    }
    std::free(p);
}

void destroy_dead(gc_object* p) {
    int size = p->gc_size();
    list_unlink(p);
    p->~gc_object();
    gc_free_bytes -= size;
    release_block(p, size);
}

// Pays for `size` new bytes by destroying as many dead bytes, oldest last-freed first.
void destroy_dead_for(int size) {
    int goal = gc_free_bytes - size;
    if (goal < 0) goal = 0;
    while (gc_free_bytes > goal && !list_empty(gc_free_list)) destroy_dead(as_object(gc_free_list.pred));
}

void flip_colour(gc_object* p) { p->flags ^= 1u; }

} // namespace

void* gc_object_alloc(int size) {
    size = (size + 7) & ~7;
    gc_new_bytes += size;
    destroy_dead_for(size);
    void* block = take_block(size);
    pending_blocks().push_back({block, uint32_t(size) | uint32_t(gc_markbit)});
    gc_alloced_bytes += size;
    return block;
}

void gc_object::take_header() {
    if (!take_pending(this, &flags)) {
        succ = pred = nullptr;
        flags = 3;
        return;
    }
    list_append(gc_unmarked_list, this);
}

// A block whose construction failed: either before its gc_object constructor ran (still pending)
// or after (already in the unmarked list; the sanitizer's dynamic-type check does not apply to a
// half-destroyed object's header).
__attribute__((no_sanitize("vptr"))) void gc_object_free(void* block) {
    uint32_t flags = 0;
    if (!take_pending(block, &flags)) {
        auto* p = static_cast<gc_object*>(block);
        flags = p->flags;
        list_unlink(p);
    }
    int size = int(flags & ~7u);
    gc_alloced_bytes -= size;
    release_block(block, size);
}

void* gc_object::operator new(std::size_t size) { return gc_object_alloc(int(size)); }

void gc_object::operator delete(void* p, std::size_t) { gc_object_free(p); }

void gc_ext_malloced(int bytes) { gc_ext_new_bytes.fetch_add(bytes, std::memory_order_relaxed); }

void gc_init1() {
    list_clear(gc_unmarked_list);
    list_clear(gc_queued_list);
    list_clear(gc_marked_list);
    list_clear(gc_free_list);
}

void gc_grey(gc_object* p) {
    flip_colour(p);
    list_unlink(p);
    list_append(gc_queued_list, p);
}

void gc_mark_now(gc_object* p) {
    if (!p || !gc_is_unmarked(p)) return;
    flip_colour(p);
    gc_marked_bytes += p->gc_size();
    list_unlink(p);
    list_append(gc_marked_list, p);
    p->mark();
}

void gc_mark_queued(int target) {
    while (gc_marked_bytes < target && !list_empty(gc_queued_list)) {
        gc_object* p = as_object(gc_queued_list.succ);
        list_unlink(p);
        list_append(gc_marked_list, p);
        gc_marked_bytes += p->gc_size();
        p->mark();
    }
}

void gc_sweep() {
    if (int dead = gc_alloced_bytes - gc_marked_bytes) {
        gc_free_bytes += dead;
        list_splice(gc_unmarked_list, gc_free_list);
    }
    list_move(gc_marked_list, gc_unmarked_list);
    gc_alloced_bytes = gc_marked_bytes;
    gc_marked_bytes = 0;
    gc_markbit ^= 1;
}

void gc_mark() { VxRootBase::grey_all(); }

void gc_collect_step(gc_object* extra_root) {
    gc_mark_now(extra_root);
    int ext = gc_ext_new_bytes.load(std::memory_order_relaxed);
    if (int64_t(gc_new_bytes) + ext > gc_cycle_bytes) {
        gc_ext_new_bytes.fetch_sub(ext, std::memory_order_relaxed);
        gc_mark_queued(0x7fffffff);
        gc_sweep();
        gc_mark();
        gc_new_bytes = 0;
        return;
    }
    // Marking keeps pace with allocation: by the time the new bytes reach the cycle size, the
    // target covers every allocated byte.
    int64_t target = gc_new_bytes + int64_t(gc_alloced_bytes - gc_new_bytes) * gc_new_bytes / gc_cycle_bytes;
    gc_mark_queued(int(target));
}

VxRootBase::VxRootBase() : next(first) { first = this; }

void VxRootBase::grey_all() {
    for (VxRootBase* r = first; r; r = r->next) r->grey();
}
