#pragma once
// The work of teintelle-cli sheet that needs no Qt: the effects of a folder in
// the tree's order, and each one applied to the photo's quarter picture as
// the window applies it, seen as the window's view samples it.

#include "common/Error.h"
#include "imaging/TBitmap32.h"
#include "imaging/ViewGeometry.h"
#include "library/AnalyseRepertoire.h"
#include "library/EffectNames.h"
#include "lut/AppliqueLut.h"
#include "lut/CubeReader.h"
#include "lut/LutTable.h"

#include <algorithm>
#include <atomic>
#include <chrono>
#include <condition_variable>
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

// The nodes of a scan kept in a plain list, each with its parent.
class NodeList : public TreeSink {
public:
    struct Node {
        NodeId parent;
        std::string name;
        NodeKind kind;
    };

    explicit NodeList(std::string rootText) { nodes_.push_back({0, std::move(rootText), NodeKind::Root}); }

    std::optional<NodeId> addNode(NodeId parent, std::string_view name, NodeKind kind) override
    {
        nodes_.push_back({parent, std::string(name), kind});
        return nodes_.size() - 1;
    }

    const std::vector<Node>& nodes() const { return nodes_; }

    // The texts from the root down to the node.
    std::string pathOf(NodeId node) const
    {
        std::vector<std::string_view> texts;
        for (NodeId at = node;; at = nodes_[at].parent) {
            texts.push_back(nodes_[at].name);
            if (at == 0)
                break;
        }
        std::reverse(texts.begin(), texts.end());
        return CheminDuNoeud(texts);
    }

private:
    std::vector<Node> nodes_;
};

// The effect files of the folder and its sub-folders as the tree lists them:
// the file nodes whose path is an effect path, in the tree's order (depth
// first, pre-order, as the scan appends them).
inline std::vector<SheetEffect> effectsOfFolder(const std::string& folderText)
{
    NodeList tree(folderText);
    AnalyseRepertoire(searchPathFor(folderText), 0, tree);
    std::vector<SheetEffect> effects;
    for (NodeId id = 1; id < tree.nodes().size(); ++id) {
        if (tree.nodes()[id].kind != NodeKind::Effect)
            continue;
        std::string path = tree.pathOf(id);
        if (isEffectPath(path))
            effects.push_back({tree.nodes()[id].name, std::move(path)});
    }
    return effects;
}

// The pixels of the source that a view of viewSide x viewSide shows, shrunk
// to fit and sampled at the nearest pixel as the window's views do. An effect
// maps each pixel on its own, so applying it to these pixels gives exactly
// the view of the effect applied to the whole picture.
inline void sampleAsShown(const TBitmap32& source, std::int32_t viewSide, TBitmap32& shown)
{
    const ViewGeometry view = computeViewGeometry(source.Width(), source.Height(), viewSide, viewSide);
    if (view.showsNothing()) {
        shown.SetSize(0, 0);
        return;
    }
    shown.SetSize(view.shownWidth, view.shownHeight);
    for (std::int32_t y = 0; y < view.shownHeight; ++y)
        for (std::int32_t x = 0; x < view.shownWidth; ++x)
            shown.pixel(x, y) = source.pixel(view.columns[std::size_t(x)], view.rows[std::size_t(y)]);
}

struct SheetCell {
    TBitmap32 picture;   // the thumbnail, when the effect was applied
    std::string failure; // why not, otherwise
};

// One effect's table, read as a first selection after start-up reads it: into
// a fresh table. Empty (with the cell's failure set) when it cannot be read.
inline std::unique_ptr<LutTable> readEffect(const SheetEffect& effect, std::int32_t& taille, SheetCell& cell)
{
    try {
        auto table = std::make_unique<LutTable>();
        const CubeStatus status = loadCubeFile(effect.path, *table, taille);
        if (status == CubeStatus::Loaded)
            return table;
        cell.failure = status == CubeStatus::FileMissing ? std::string("Fichier introuvable")
                                                         : std::string(structureMessage(status));
    } catch (const Error& error) {
        cell.failure = error.what();
    } catch (const std::bad_alloc&) {
        cell.failure = "Mémoire insuffisante";
    }
    return nullptr;
}

inline void applyEffect(const LutTable& table, std::int32_t taille, const TBitmap32& shown, SheetCell& cell)
{
    try {
        float coef = 0.0f;
        AppliqueLut(shown, cell.picture, table, taille, coef, 1);
    } catch (const Error& error) {
        cell.failure = error.what();
    }
}

// Renders every effect of the sheet on the cores, each cell from its own
// effect alone, so the result does not depend on the split. The effects are
// read while the photo is still being decoded: tables read before its shown
// pixels are published wait, within a memory budget, and are applied then.
class SheetRenderer {
public:
    static constexpr std::uint64_t kWaitingBudget = std::uint64_t(256) << 20; // bytes of waiting tables

    explicit SheetRenderer(const std::vector<SheetEffect>& effects) : effects_(effects), cells_(effects.size())
    {
        const unsigned threads = unsigned(
            std::clamp<std::size_t>(std::thread::hardware_concurrency(), 1, std::max<std::size_t>(effects.size(), 1)));
        for (unsigned t = 0; t < threads; ++t)
            workers_.emplace_back([this] { work(); });
    }
    ~SheetRenderer() { finish(nullptr); }
    SheetRenderer(const SheetRenderer&) = delete;
    SheetRenderer& operator=(const SheetRenderer&) = delete;

    // The pixels every effect is applied to; the caller keeps them alive
    // until finish() has returned.
    void publish(const TBitmap32& shown)
    {
        const std::lock_guard lock(mutex_);
        shown_ = &shown;
        changed_.notify_all();
    }

    // Waits for every cell, calling progress (on this thread) now and then
    // with the number done. Without published pixels the workers are told to
    // stop.
    std::vector<SheetCell>& finish(const std::function<void(std::size_t done)>& progress)
    {
        {
            std::unique_lock lock(mutex_);
            if (shown_ == nullptr)
                stopping_ = true;
            changed_.notify_all();
            while (progress && shown_ != nullptr && done_ < effects_.size()) {
                changed_.wait_for(lock, std::chrono::milliseconds(200));
                const std::size_t now = done_;
                lock.unlock();
                progress(now);
                lock.lock();
            }
        }
        for (auto& worker : workers_)
            if (worker.joinable())
                worker.join();
        return cells_;
    }

private:
    struct Waiting {
        std::size_t index;
        std::int32_t taille;
        std::unique_ptr<LutTable> table;
    };

    void work()
    {
        for (std::size_t i = next_++; i < effects_.size() && !stopping_; i = next_++) {
            std::int32_t taille = 0;
            std::unique_ptr<LutTable> table = readEffect(effects_[i], taille, cells_[i]);
            const TBitmap32* shown = nullptr;
            {
                std::unique_lock lock(mutex_);
                const std::uint64_t bytes = table ? table->entryCount() * sizeof(TLutValeur) : 0;
                if (shown_ == nullptr && !stopping_ && waitingBytes_ + bytes <= kWaitingBudget) {
                    waitingBytes_ += bytes;
                    waiting_.push_back({i, taille, std::move(table)});
                    continue;
                }
                changed_.wait(lock, [this] { return shown_ != nullptr || stopping_; });
                shown = shown_;
            }
            if (shown != nullptr && table)
                applyEffect(*table, taille, *shown, cells_[i]);
            cellDone();
            drainWaiting();
        }
        {
            std::unique_lock lock(mutex_);
            changed_.wait(lock, [this] { return shown_ != nullptr || stopping_; });
        }
        drainWaiting();
    }

    // Applies the tables that were read before the pixels were published.
    void drainWaiting()
    {
        for (;;) {
            Waiting item;
            const TBitmap32* shown = nullptr;
            {
                const std::lock_guard lock(mutex_);
                if (waiting_.empty())
                    return;
                item = std::move(waiting_.back());
                waiting_.pop_back();
                shown = shown_;
            }
            if (shown != nullptr && item.table)
                applyEffect(*item.table, item.taille, *shown, cells_[item.index]);
            item.table.reset();
            cellDone();
        }
    }

    void cellDone()
    {
        const std::lock_guard lock(mutex_);
        ++done_;
        changed_.notify_all();
    }

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
