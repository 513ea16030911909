// Pictures decoded on two worker threads ahead of the loads that will ask for them, so that a loader
// which spreads its loads over frames spends its frames uploading, not decoding. Two, because the
// main thread mostly sleeps between its updates while a load runs.
//
// The workers know files only by their names on disk, as plain strings: the runtime's strings and
// its collector belong to the main thread. It prepares the pixels as a surface keeps them, and the
// main thread takes them when the load comes, reporting their size to the collector then.
#pragma once

#include "devices/graphics/surface.h"
#include "runtime/string.h"

#include <condition_variable>
#include <mutex>
#include <string>
#include <thread>
#include <vector>

class gxtkDecodeAhead {
  public:
    gxtkDecodeAhead() = default;
    gxtkDecodeAhead(const gxtkDecodeAhead&) = delete;
    gxtkDecodeAhead& operator=(const gxtkDecodeAhead&) = delete;
    // Drops the list and waits for the workers to let go of it.
    ~gxtkDecodeAhead();

    // Decodes the files in this order, in place of any earlier list: what is left of that list,
    // decoded or not, is dropped. A file named twice is decoded twice, once for each load.
    void Start(std::vector<std::string> files);
    // The prepared pixels of the file's first untaken entry, waiting for the worker if it has not
    // got there yet. No pixels when the file is not on the list (the caller decodes it itself) or
    // could not be decoded.
    gxtkPixels Take(const std::string& file);

    // Waits for the workers to finish the list and end.
    void Finish();
    // Makes every fork() wait for the process's list first (once, for vxPicturesAhead's).
    static void WatchForks();

  private:
    struct Entry {
        std::string file;
        bool decoded = false;
        bool taken = false;
        gxtkPixels pixels;
    };

    void Work();
    // The first untaken entry of the file, or null.
    Entry* Find(const std::string& file);
    void DropEntries();

    std::mutex mutex;
    std::condition_variable changed;
    std::vector<Entry> entries;
    // The next entry a worker decodes, and the list it belongs to.
    std::size_t next = 0;
    unsigned list = 0;
    // How many workers are decoding the list.
    int working = 0;
    std::thread workers[2];
};

// The file decoded and prepared as the worker does it, on the calling thread; no pixels when it
// cannot be read or decoded.
gxtkPixels DecodePictureFile(const std::string& file);
// The one list of the process, which the graphics device fills.
gxtkDecodeAhead& vxPicturesAhead();
// The platform's name of a file the game names by path, as the worker opens it.
std::string vxFileNameOf(const String& path);
// The prepared pixels of a load that was decoded ahead, or no pixels.
gxtkPixels TakeDecodedAhead(const String& path);
