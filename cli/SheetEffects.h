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

// One effect as a first selection after start-up: a fresh table, the file
// read into it, and on success the table applied to the shown pixels.
inline void renderEffect(const SheetEffect& effect, const TBitmap32& shown, SheetCell& cell)
{
    try {
        LutTable table;
        std::int32_t taille = 0;
        const CubeStatus status = loadCubeFile(effect.path, table, taille);
        if (status == CubeStatus::FileMissing) {
            cell.failure = "Fichier introuvable";
            return;
        }
        if (status != CubeStatus::Loaded) {
            cell.failure = std::string(structureMessage(status));
            return;
        }
        float coef = 0.0f;
        AppliqueLut(shown, cell.picture, table, taille, coef, 1);
    } catch (const Error& error) {
        cell.failure = error.what();
    } catch (const std::bad_alloc&) {
        cell.failure = "Mémoire insuffisante";
    }
}

// Every effect rendered, split across the cores; each cell depends on its
// effect alone, so the result does not depend on the split. `progress` is
// called on the calling thread now and then with the cells done.
inline std::vector<SheetCell> renderEffects(const std::vector<SheetEffect>& effects, const TBitmap32& shown,
                                            const std::function<void(std::size_t done)>& progress)
{
    std::vector<SheetCell> cells(effects.size());
    std::atomic<std::size_t> next{0};
    std::size_t done = 0;
    std::mutex mutex;
    std::condition_variable changed;
    auto work = [&] {
        for (std::size_t i = next++; i < effects.size(); i = next++) {
            renderEffect(effects[i], shown, cells[i]);
            const std::lock_guard lock(mutex);
            ++done;
            changed.notify_all();
        }
    };
    const unsigned threads =
        unsigned(std::clamp<std::size_t>(std::thread::hardware_concurrency(), 1, std::max<std::size_t>(effects.size(), 1)));
    std::vector<std::thread> workers;
    for (unsigned t = 1; t < threads; ++t)
        workers.emplace_back(work);
    std::thread last(work);
    {
        std::unique_lock lock(mutex);
        while (done < effects.size()) {
            changed.wait_for(lock, std::chrono::milliseconds(200));
            const std::size_t now = done;
            lock.unlock();
            progress(now);
            lock.lock();
        }
    }
    last.join();
    for (auto& worker : workers)
        worker.join();
    return cells;
}

} // namespace teintelle::cli
