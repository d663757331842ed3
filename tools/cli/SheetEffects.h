#pragma once
// The work of teintelle-cli sheet that needs no Qt: the effects of a folder in
// the tree's order, and each one applied to the photo's quarter picture as
// the window applies it, seen as the window's view samples it.

#include "imaging/TBitmap32.h"
#include "lut/LutTable.h"

#include <atomic>
#include <condition_variable>
#include <cstdint>
#include <functional>
#include <memory>
#include <mutex>
#include <string>
#include <thread>
#include <vector>

namespace teintelle::cli {

struct SheetEffect {
    std::string name; // the node's text, the label under the cell
    std::string path; // CheminDuNoeud of the node
};

// The effect files of the folder and its sub-folders as the tree lists them:
// the file nodes whose path is an effect path, in the tree's order (depth
// first, pre-order, as the scan appends them).
std::vector<SheetEffect> effectsOfFolder(const std::string& folderText);

// The pixels of the source that a view of viewSide x viewSide shows, shrunk
// to fit and sampled at the nearest pixel as the window's views do. An effect
// maps each pixel on its own, so applying it to these pixels gives exactly
// the view of the effect applied to the whole picture.
void sampleAsShown(const TBitmap32& source, std::int32_t viewSide, TBitmap32& shown);

struct SheetCell {
    TBitmap32 picture;   // the thumbnail, when the effect was applied
    std::string failure; // why not, otherwise
};

// Renders every effect of the sheet on the cores, each cell from its own
// effect alone, so the result does not depend on the split. The effects are
// read while the photo is still being decoded: tables read before its shown
// pixels are published wait, within a memory budget, and are applied then.
class SheetRenderer {
public:
    static constexpr std::uint64_t kWaitingBudget = std::uint64_t(256) << 20; // bytes of waiting tables

    explicit SheetRenderer(const std::vector<SheetEffect>& effects);
    ~SheetRenderer();
    SheetRenderer(const SheetRenderer&) = delete;
    SheetRenderer& operator=(const SheetRenderer&) = delete;

    // The pixels every effect is applied to; the caller keeps them alive
    // until finish() has returned.
    void publish(const TBitmap32& shown);

    // Waits for every cell, calling progress (on this thread) now and then
    // with the number done. Without published pixels the workers are told to
    // stop.
    std::vector<SheetCell>& finish(const std::function<void(std::size_t done)>& progress);

private:
    struct Waiting {
        std::size_t index;
        std::int32_t taille;
        std::unique_ptr<LutTable> table;
    };

    void work();

    // Applies the tables that were read before the pixels were published.
    void drainWaiting();

    void cellDone();

    const std::vector<SheetEffect>& effects_;
    std::vector<SheetCell> cells_;
    std::vector<std::thread> workers_;
    std::atomic<std::size_t> next_{0};

    std::mutex mutex_;
    std::condition_variable changed_;
    const TBitmap32* shown_ = nullptr;
    std::atomic<bool> stopping_{false};
    std::vector<Waiting> waiting_;
    std::uint64_t waitingBytes_ = 0;
    std::size_t done_ = 0;
};

} // namespace teintelle::cli
