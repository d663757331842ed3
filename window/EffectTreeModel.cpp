#include "window/EffectTreeModel.h"

#include "library/EffectNames.h"

#include <QFile>
#include <QItemSelectionModel>

#include <algorithm>
#include <new>

namespace teintelle {

// Hands the scan's nodes to the model.
class EffectTreeModel::Sink : public TreeSink {
public:
    explicit Sink(EffectTreeModel& model) : model_(model) {}

    std::optional<NodeId> addNode(NodeId parent, std::string_view name, NodeKind kind) override
    {
        const std::optional<Id> id = model_.append(static_cast<Id>(parent), name, kind);
        if (!id)
            return std::nullopt;
        return NodeId(*id);
    }

private:
    EffectTreeModel& model_;
};

EffectTreeModel::EffectTreeModel(QObject* parent) : QAbstractItemModel(parent) {}

void EffectTreeModel::setIcons(const QList<QIcon>& icons)
{
    // Every node's icon changes: the views lay the tree out again.
    emit layoutAboutToBeChanged();
    icons_ = icons;
    emit layoutChanged();
}

void EffectTreeModel::clear()
{
    beginResetModel();
    nodes_.clear();
    selected_ = kNone;
    filling_ = kNone;
    ++clears_;
    endResetModel();
}

QModelIndex EffectTreeModel::addRoot(const QString& text)
{
    clear();
    beginInsertRows({}, 0, 0);
    Node& root = nodes_.emplace_back();
    root.text = text;
    root.hasText = true;
    root.name = QFile::encodeName(text).toStdString();
    root.kind = NodeKind::Root;
    endInsertRows();
    return rootIndex();
}

QModelIndex EffectTreeModel::rootIndex() const
{
    return nodes_.empty() ? QModelIndex() : createIndex(0, 0, quintptr(0));
}

std::optional<EffectTreeModel::Id> EffectTreeModel::append(Id parent, std::string_view name, NodeKind kind)
{
    if (nodes_.size() >= nodeLimit_ || nodes_.size() >= kNone || parent >= nodes_.size())
        return std::nullopt;
    try {
        // Every step that may fail comes before the tree changes.
        Node node;
        node.name.assign(name);
        node.kind = kind;
        node.parent = parent;
        std::vector<Id>& siblings = nodes_[parent].children;
        node.row = static_cast<Id>(siblings.size());
        siblings.reserve(siblings.size() + 1);
        const Id id = static_cast<Id>(nodes_.size());
        nodes_.push_back(std::move(node));
        nodes_[parent].children.push_back(id);
        return id;
    } catch (const std::bad_alloc&) {
        return std::nullopt;
    }
}

ScanEnd EffectTreeModel::AnalyseRepertoire(const QModelIndex& parent, std::string_view searchPath,
                                           std::function<bool()> shouldStop)
{
    const Id id = idOf(parent);
    if (id == kNone)
        return ScanEnd::Finished;
    filling_ = id;
    rowsShownWhileFilling_ = static_cast<int>(nodes_[id].children.size());
    const std::uint64_t clearsBefore = clears_;
    auto treeGone = [this, clearsBefore] { return clears_ != clearsBefore; };

    // Shows what was added, however the scan ends, unless the tree was
    // emptied meanwhile (the scan's nodes went with it).
    struct Reveal {
        EffectTreeModel& model;
        QModelIndex parent;
        std::function<bool()> treeGone;
        ~Reveal()
        {
            if (treeGone())
                return;
            const int before = model.rowsShownWhileFilling_;
            const int after = static_cast<int>(model.nodes_[model.filling_].children.size());
            if (after > before) {
                model.beginInsertRows(parent, before, after - 1);
                model.filling_ = kNone;
                model.endInsertRows();
            }
            model.filling_ = kNone;
        }
    } reveal{*this, parent, treeGone};

    ScanLimits limits;
    limits.nodeBudget = scanBudget_;
    if (shouldStop) {
        // The stop check is the only place where other code runs during the
        // scan, so a tree emptied there is seen before the next node.
        limits.shouldStop = [&shouldStop, &treeGone] { return shouldStop() || treeGone(); };
    }
    Sink sink(*this);
    const ScanEnd end = teintelle::AnalyseRepertoire(searchPath, id, sink, open_, limits);
    return treeGone() ? ScanEnd::Stopped : end;
}

std::string EffectTreeModel::CheminDuNoeud(const QModelIndex& index) const
{
    Id id = idOf(index);
    if (id == kNone)
        return {};
    std::vector<std::string_view> texts;
    for (; id != kNone; id = nodes_[id].parent)
        texts.push_back(nodes_[id].name);
    std::reverse(texts.begin(), texts.end());
    return teintelle::CheminDuNoeud(texts);
}

NodeKind EffectTreeModel::kind(const QModelIndex& index) const
{
    const Id id = idOf(index);
    return id == kNone ? NodeKind::Root : nodes_[id].kind;
}

void EffectTreeModel::setSelectedNode(const QModelIndex& index)
{
    const Id id = idOf(index);
    if (id == selected_)
        return;
    const Id before = selected_;
    selected_ = id;
    for (Id changed : {before, id})
        if (changed != kNone) {
            const QModelIndex at = indexOf(changed);
            emit dataChanged(at, at, {Qt::DecorationRole});
        }
}

void EffectTreeModel::followSelection(QItemSelectionModel* selection)
{
    connect(selection, &QItemSelectionModel::selectionChanged, this, [this, selection] {
        const QModelIndexList selected = selection->selectedIndexes();
        setSelectedNode(selected.isEmpty() ? QModelIndex() : selected.first());
    });
}

QModelIndex EffectTreeModel::index(int row, int column, const QModelIndex& parent) const
{
    if (row < 0 || column != 0 || row >= rowCount(parent))
        return {};
    if (!parent.isValid())
        return rootIndex();
    const Id id = nodes_[idOf(parent)].children[std::size_t(row)];
    return createIndex(row, 0, quintptr(id));
}

QModelIndex EffectTreeModel::parent(const QModelIndex& child) const
{
    const Id id = idOf(child);
    if (id == kNone || nodes_[id].parent == kNone)
        return {};
    return indexOf(nodes_[id].parent);
}

int EffectTreeModel::rowCount(const QModelIndex& parent) const
{
    if (!parent.isValid())
        return nodes_.empty() ? 0 : 1;
    const Id id = idOf(parent);
    if (id == kNone)
        return 0;
    if (id == filling_)
        return rowsShownWhileFilling_;
    return static_cast<int>(nodes_[id].children.size());
}

int EffectTreeModel::columnCount(const QModelIndex&) const
{
    return 1;
}

QVariant EffectTreeModel::data(const QModelIndex& index, int role) const
{
    const Id id = idOf(index);
    if (id == kNone)
        return {};
    const Node& node = nodes_[id];
    switch (role) {
    case Qt::DisplayRole:
    case Qt::EditRole:
        return textOf(node);
    case Qt::DecorationRole: {
        const int image = node.kind == NodeKind::Effect ? ImageDocument
                          : id == selected_             ? ImageOpenFolder
                                                        : ImageClosedFolder;
        return image < icons_.size() ? QVariant(icons_[image]) : QVariant();
    }
    default:
        return {};
    }
}

bool EffectTreeModel::setData(const QModelIndex& index, const QVariant& value, int role)
{
    const Id id = idOf(index);
    if (id == kNone || role != Qt::EditRole)
        return false;
    Node& node = nodes_[id];
    const QString text = value.toString();
    // An edit that changes nothing keeps the bytes, even those that the
    // shown text could not render.
    if (text == textOf(node))
        return true;
    node.text = text;
    node.hasText = true;
    node.name = QFile::encodeName(text).toStdString();
    emit dataChanged(index, index, {Qt::DisplayRole, Qt::EditRole});
    return true;
}

Qt::ItemFlags EffectTreeModel::flags(const QModelIndex& index) const
{
    if (idOf(index) == kNone)
        return Qt::NoItemFlags;
    return Qt::ItemIsSelectable | Qt::ItemIsEnabled | Qt::ItemIsEditable;
}

EffectTreeModel::Id EffectTreeModel::idOf(const QModelIndex& index) const
{
    if (!index.isValid() || index.model() != this || index.internalId() >= nodes_.size())
        return kNone;
    return static_cast<Id>(index.internalId());
}

QModelIndex EffectTreeModel::indexOf(Id id) const
{
    return createIndex(static_cast<int>(nodes_[id].row), 0, quintptr(id));
}

QString EffectTreeModel::textOf(const Node& node) const
{
    if (node.hasText)
        return node.text;
    QString text = QFile::decodeName(QByteArray::fromRawData(node.name.data(), qsizetype(node.name.size())));
    // A name may hold line breaks and other control characters: each is shown
    // as its visible picture (U+2400 onwards), so that the node keeps one line.
    const bool hasControl = std::any_of(node.name.begin(), node.name.end(), [](char c) {
        return static_cast<unsigned char>(c) < 0x20 || c == 0x7F;
    });
    if (!hasControl)
        return text;
    for (QChar& c : text) {
        if (c.unicode() < 0x20)
            c = QChar(char16_t(0x2400 + c.unicode()));
        else if (c.unicode() == 0x7F)
            c = QChar(char16_t(0x2421));
    }
    return text;
}

} // namespace teintelle
