#include "cli/SheetEffects.h"

#include "common/Error.h"
#include "imaging/ViewGeometry.h"
#include "library/AnalyseRepertoire.h"
#include "library/EffectNames.h"
#include "lut/AppliqueLut.h"
#include "lut/EffectRead.h"

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

namespace {

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

// One effect's table, read as a first selection after start-up reads it: into
// a fresh table. Empty (with the cell's failure set) when it cannot be read.
std::unique_ptr<LutTable> readSheetEffect(const SheetEffect& effect, std::int32_t& taille, SheetCell& cell)
{
    auto table = std::make_unique<LutTable>();
    EffectRead read = readEffectFile(effect.path, *table, taille);
    if (read.loaded())
        return table;
    cell.failure = read.outcome == EffectReadOutcome::Missing ? std::string("Fichier introuvable")
                                                              : std::move(read.message);
    return nullptr;
}

void applyEffect(const LutTable& table, std::int32_t taille, const TBitmap32& shown, SheetCell& cell)
{
    try {
        float coef = 0.0f;
        AppliqueLut(shown, cell.picture, table, taille, coef, 1);
    } catch (const Error& error) {
        cell.failure = error.what();
    }
}

} // namespace

std::vector<SheetEffect> effectsOfFolder(const std::string& folderText)
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

void sampleAsShown(const TBitmap32& source, std::int32_t viewSide, TBitmap32& shown)
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

SheetRenderer::SheetRenderer(const std::vector<SheetEffect>& effects) : effects_(effects), cells_(effects.size())
{
    const unsigned threads = unsigned(
        std::clamp<std::size_t>(std::thread::hardware_concurrency(), 1, std::max<std::size_t>(effects.size(), 1)));
    for (unsigned t = 0; t < threads; ++t)
        workers_.emplace_back([this] { work(); });
}

SheetRenderer::~SheetRenderer() { finish(nullptr); }

void SheetRenderer::publish(const TBitmap32& shown)
{
    const std::lock_guard lock(mutex_);
    shown_ = &shown;
    changed_.notify_all();
}

std::vector<SheetCell>& SheetRenderer::finish(const std::function<void(std::size_t done)>& progress)
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

void SheetRenderer::work()
{
    for (std::size_t i = next_++; i < effects_.size() && !stopping_; i = next_++) {
        std::int32_t taille = 0;
        std::unique_ptr<LutTable> table = readSheetEffect(effects_[i], taille, cells_[i]);
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

void SheetRenderer::drainWaiting()
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

void SheetRenderer::cellDone()
{
    const std::lock_guard lock(mutex_);
    ++done_;
    changed_.notify_all();
}

} // namespace teintelle::cli
