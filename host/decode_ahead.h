// Files decoded on worker threads ahead of the loads that will ask for them, so that a loader which
// spreads its loads over frames spends its frames uploading, not decoding: the main thread mostly
// sleeps between its updates while a load runs.
//
// The workers know files only by their names on disk, as plain strings: the runtime's strings and
// its collector belong to the main thread. What a file decodes to (`Decoded`) is a plain struct
// whose `data` the caller frees with free(); null data means nothing could be decoded.
#pragma once

#include "runtime/string.h"

#include <condition_variable>
#include <cstdlib>
#include <mutex>
#include <pthread.h>
#include <string>
#include <thread>
#include <vector>

template <typename Decoded> class VxDecodeAhead {
  public:
    using Decoder = Decoded (*)(const std::string& file);

    VxDecodeAhead(Decoder decoder, int workerCount) : decode(decoder), workers(std::size_t(workerCount)) {}
    VxDecodeAhead(const VxDecodeAhead&) = delete;
    VxDecodeAhead& operator=(const VxDecodeAhead&) = delete;
    ~VxDecodeAhead() { Stop(); }

    // Decodes the files in this order, in place of any earlier list: what is left of that list,
    // decoded or not, is dropped. A file named twice is decoded twice, once for each load. The
    // files of the list in progress, none of them taken yet, keep that list. A page has no worker
    // thread, so there the list would be decoded whole at once, stalling its caller: each file is
    // left to its own load instead.
    void Start(std::vector<std::string> files) {
#ifdef __EMSCRIPTEN__
        return;
#endif
        std::lock_guard lock(mutex);
        if (InProgress(files)) return;
        DropEntries();
        for (std::string& file : files) entries.push_back(Entry{std::move(file), false, false, {}});
        next = 0;
        ++list;
        if (working == 0 && !entries.empty()) StartWorkers();
    }

    // Decodes one more file after the list's others, for a load that takes it whenever it is ready
    // (Ready, then Take). False where there are no worker threads (a page): the caller decodes it.
    bool Add(std::string file) {
#ifdef __EMSCRIPTEN__
        return false;
#endif
        std::lock_guard lock(mutex);
        if (working == 0) {
            // Every entry is decoded: the taken ones can go, and the workers start at the new one.
            std::erase_if(entries, [](const Entry& entry) { return entry.taken; });
            next = entries.size();
        }
        entries.push_back(Entry{std::move(file), false, false, {}});
        if (working == 0) StartWorkers();
        return true;
    }

    // Gives up the file's first untaken entry, for a load that will not come: what it decodes to is
    // freed now, or by the worker once decoded.
    void Drop(const std::string& file) {
        std::lock_guard lock(mutex);
        Entry* entry = Find(file);
        if (!entry) return;
        entry->taken = true;
        if (entry->done) std::free(entry->result.data);
    }

    // What the file's first untaken entry decoded to, waiting for the worker if it has not got
    // there yet. Nothing when the file is not on the list (the caller decodes it itself) or could
    // not be decoded.
    Decoded Take(const std::string& file) {
        std::unique_lock lock(mutex);
        Entry* entry = Find(file);
        if (!entry) return {};
        changed.wait(lock, [&] { return entry->done; });
        entry->taken = true;
        return entry->result;
    }

    // Whether the file's first untaken entry is decoded already, so that taking it would not wait.
    bool Ready(const std::string& file) {
        std::lock_guard lock(mutex);
        const Entry* entry = Find(file);
        return entry && entry->done;
    }

    // Drops the list, decoded or not, and waits for the workers to let go of it: each ends once the
    // file in its hands is decoded, and is joined.
    void Stop() {
        {
            std::lock_guard lock(mutex);
            DropEntries();
            ++list;
        }
        Finish();
    }

    // Waits for the workers to finish the list and end. A fork calls it first (for the process's
    // lists, vxProcessDecodeAhead), so that a child never inherits a worker's locks, the
    // allocator's among them.
    void Finish() {
        {
            std::unique_lock lock(mutex);
            changed.wait(lock, [&] { return working == 0; });
        }
        for (std::thread& worker : workers) {
            if (worker.joinable()) worker.join();
        }
    }

  private:
    struct Entry {
        std::string file;
        bool done = false;
        bool taken = false;
        Decoded result;
    };

    // Decodes the list's next entries in order and ends with it; a new list starts new workers.
    // What is finished for a list that has since been replaced is freed at once.
    void Work() {
        std::unique_lock lock(mutex);
        while (next < entries.size()) {
            const std::size_t index = next++;
            const unsigned mine = list;
            const std::string file = entries[index].file;
            lock.unlock();
            Decoded result = decode(file);
            lock.lock();
            if (mine != list || entries[index].taken) {
                std::free(result.data);
                continue;
            }
            entries[index].result = result;
            entries[index].done = true;
            changed.notify_all();
        }
        --working;
        changed.notify_all();
    }

    void StartWorkers() {
        for (std::thread& worker : workers) {
            // The last workers have left their loops; only their threads' ends may remain.
            if (worker.joinable()) worker.join();
            ++working;
            worker = std::thread(&VxDecodeAhead::Work, this);
        }
    }

    bool InProgress(const std::vector<std::string>& files) const {
        if (files.size() != entries.size()) return false;
        for (std::size_t i = 0; i < files.size(); ++i) {
            if (entries[i].taken || entries[i].file != files[i]) return false;
        }
        return !files.empty();
    }

    Entry* Find(const std::string& file) {
        for (Entry& entry : entries) {
            if (!entry.taken && entry.file == file) return &entry;
        }
        return nullptr;
    }

    void DropEntries() {
        for (Entry& entry : entries) {
            if (!entry.taken) std::free(entry.result.data);
        }
        entries.clear();
    }

    const Decoder decode;
    std::mutex mutex;
    std::condition_variable changed;
    std::vector<Entry> entries;
    // The next entry a worker decodes, and the list it belongs to.
    std::size_t next = 0;
    unsigned list = 0;
    // How many workers are decoding the list.
    int working = 0;
    std::vector<std::thread> workers;
};

// The one list of the process of a kind of decoding `Ahead` (a VxDecodeAhead made by its default
// constructor), made on first use. A fork waits for its workers first. The game quits by exiting
// at once, mid-load as likely as not: the exit stops the list and joins its workers before it tears
// down anything made before the list, so no worker outlives what it uses, and quitting waits for at
// most one file per worker. The list itself is never destroyed: whatever the exit runs later still
// finds it.
template <typename Ahead> Ahead& vxProcessDecodeAhead() {
    static Ahead* const ahead = [] {
        auto* made = new Ahead;
        pthread_atfork([] { vxProcessDecodeAhead<Ahead>().Finish(); }, nullptr, nullptr);
        std::atexit([] { vxProcessDecodeAhead<Ahead>().Stop(); });
        return made;
    }();
    return *ahead;
}

// The platform's name of a file the game names by path, as a worker opens it.
std::string vxFileNameOf(const String& path);
