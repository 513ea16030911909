#include "devices/graphics/decode_ahead.h"

#include "host/files.h"
#include "host/game.h"
#include "runtime/gc.h"

#include <pthread.h>

#include <cstdio>
#include <cstdlib>

gxtkPixels DecodePictureFile(const std::string& file) {
    std::FILE* f = std::fopen(file.c_str(), "rb");
    if (!f) return {};
    int w = 0, h = 0, d = 0;
    unsigned char* decoded = vxDecodeImage(f, &w, &h, &d);
    std::fclose(f);
    return decoded ? PreparePixels(decoded, w, h, d) : gxtkPixels{};
}

gxtkDecodeAhead::~gxtkDecodeAhead() {
    {
        std::lock_guard lock(mutex);
        DropEntries();
        ++list;
    }
    Finish();
}

void gxtkDecodeAhead::Finish() {
    {
        std::unique_lock lock(mutex);
        changed.wait(lock, [&] { return working == 0; });
    }
    for (std::thread& worker : workers) {
        if (worker.joinable()) worker.join();
    }
}

void gxtkDecodeAhead::Start(std::vector<std::string> files) {
    std::lock_guard lock(mutex);
    DropEntries();
    for (std::string& file : files) entries.push_back(Entry{std::move(file), false, false, {}});
    next = 0;
    ++list;
    if (working == 0 && !entries.empty()) {
        for (std::thread& worker : workers) {
            // The last workers have left their loops; only their threads' ends may remain.
            if (worker.joinable()) worker.join();
            ++working;
            worker = std::thread(&gxtkDecodeAhead::Work, this);
        }
    }
}

gxtkPixels gxtkDecodeAhead::Take(const std::string& file) {
    std::unique_lock lock(mutex);
    Entry* entry = Find(file);
    if (!entry) return {};
    changed.wait(lock, [&] { return entry->decoded; });
    entry->taken = true;
    return entry->pixels;
}

// Decodes the list's next entries in order and ends with it; a new list starts new workers. A picture
// finished for a list that has since been replaced is freed at once.
void gxtkDecodeAhead::Work() {
    std::unique_lock lock(mutex);
    while (next < entries.size()) {
        const std::size_t index = next++;
        const unsigned mine = list;
        const std::string file = entries[index].file;
        lock.unlock();
        gxtkPixels pixels = DecodePictureFile(file);
        lock.lock();
        if (mine != list) {
            std::free(pixels.data);
            continue;
        }
        entries[index].pixels = pixels;
        entries[index].decoded = true;
        changed.notify_all();
    }
    --working;
    changed.notify_all();
}

gxtkDecodeAhead::Entry* gxtkDecodeAhead::Find(const std::string& file) {
    for (Entry& entry : entries) {
        if (!entry.taken && entry.file == file) return &entry;
    }
    return nullptr;
}

void gxtkDecodeAhead::DropEntries() {
    for (Entry& entry : entries) {
        if (!entry.taken) std::free(entry.pixels.data);
    }
    entries.clear();
}

// A child gets no copy of the workers, nor of the locks they might hold at that moment, the
// allocator's among them: a fork waits for the workers to finish their list.
void gxtkDecodeAhead::WatchForks() {
    pthread_atfork([] { vxPicturesAhead().Finish(); }, nullptr, nullptr);
}

// Never destroyed: the workers may still be decoding when the process exits.
gxtkDecodeAhead& vxPicturesAhead() {
    static gxtkDecodeAhead* const ahead = [] {
        auto* made = new gxtkDecodeAhead;
        gxtkDecodeAhead::WatchForks();
        return made;
    }();
    return *ahead;
}

std::string vxFileNameOf(const String& path) {
    std::string name;
    if (VxGame::_game) VxGame::_game->PathToFilePath(path).ToUtf8(name);
    return name;
}

gxtkPixels TakeDecodedAhead(const String& path) {
    gxtkPixels pixels = vxPicturesAhead().Take(vxFileNameOf(path));
    if (pixels.data) gc_ext_malloced(pixels.width * pixels.height * pixels.depth);
    return pixels;
}
