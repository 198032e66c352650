#pragma once

// The least a tick of the board can honestly cost, written directly against SQLite: one read of
// the active orders in due-date order, one pass over Jewish.DB and RNR.DB matching each job with
// its first detail row, every value the three lists show turned into its text, and a
// window-sized image filled. What the board does beyond this is its own overhead.

#include <cstdint>
#include <memory>
#include <string>

namespace ws::bench {

struct FloorCounts {
    int jewish = 0;             // the top list: active Jewish jobs
    int specialDate = 0;        // the middle list: active jobs with DateOffSet 3
    int interment = 0;          // the bottom list: active interment jobs not invoiced
    std::uint64_t checksum = 0; // of every text and pixel, so none of the work can be left out
};

class Floor {
public:
    // Opens the three table files of 'dir' read-only; the image is width x height pixels.
    Floor(const std::string& dir, int width, int height);
    ~Floor();
    Floor(const Floor&) = delete;
    Floor& operator=(const Floor&) = delete;

    FloorCounts Tick();

private:
    struct State;
    std::unique_ptr<State> m_State;
};

} // namespace ws::bench
