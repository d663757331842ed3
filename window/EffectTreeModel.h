#pragma once

#include "library/AnalyseRepertoire.h"

#include <QAbstractItemModel>
#include <QIcon>
#include <QList>
#include <QString>

#include <cstdint>
#include <functional>
#include <limits>
#include <string>
#include <vector>

class QItemSelectionModel;

namespace teintelle {

// The effect tree: one root node (the only top-level node) and, below it, the
// folders and effect files a scan finds, in the order the scan gives them,
// never sorted. The nodes live in one plain vector, so that a library of a
// hundred thousand files loads at the speed of the disk.
//
// A node's name is kept as the bytes on disk and shown decoded with
// QFile::decodeName, its control characters (a line break) shown as their
// pictures (U+2400 + code, U+2421 for DEL); its path is built from those
// bytes, so that a name that is no valid text still leads to its file. A text
// edited in place replaces the bytes with its encoding; confirming the shown
// text unchanged keeps them.
class EffectTreeModel : public QAbstractItemModel {
    Q_OBJECT

public:
    // Positions in the icon list: the document, the closed folder, and the
    // open folder that a folder node shows while it is the selected node.
    enum Image { ImageDocument = 0, ImageClosedFolder = 1, ImageOpenFolder = 2 };

    explicit EffectTreeModel(QObject* parent = nullptr);

    void setIcons(const QList<QIcon>& icons);

    // Empties the tree: no node left, none selected. A scan running then
    // (from its stop check) stops, and nothing more of it reaches the tree.
    void clear();

    // Empties the tree and adds the root node with `text`, unchanged.
    QModelIndex addRoot(const QString& text);

    // The root node, or an invalid index when the tree is empty.
    QModelIndex rootIndex() const;

    // Scans the folder that `searchPath` names (see teintelle::AnalyseRepertoire)
    // into the tree below `parent`. The new nodes reach the views in one
    // insertion at the end, also when the scan stops on a refused node (then
    // Error(kInsertError) is thrown and the nodes added so far stay) or when
    // `shouldStop` stops it. Until then the views see the parent's former
    // rows only, so `shouldStop` may let them paint and handle input.
    // Stopped when `shouldStop` said so or the tree was emptied meanwhile;
    // then an emptied tree keeps none of this scan's nodes.
    ScanEnd AnalyseRepertoire(const QModelIndex& parent, std::string_view searchPath,
                              std::function<bool()> shouldStop = {});

    // How many nodes one scan may add (kScanNodeBudget unless a test says less).
    void setScanBudget(std::size_t nodes) { scanBudget_ = nodes; }

    // How the scans open folders; tests refuse some of them through it.
    void setFolderOpener(FolderOpener open) { open_ = std::move(open); }

    // The node path of a node: the texts from the root down to it with "/"
    // between each two (teintelle::CheminDuNoeud), as bytes for the file
    // system. Empty for an index that is no node of this tree.
    std::string CheminDuNoeud(const QModelIndex& index) const;

    // What the node stands for; NodeKind::Root for an invalid index.
    NodeKind kind(const QModelIndex& index) const;

    // The node whose folder icon shows open (the tree's selected node), or
    // none for an invalid index.
    void setSelectedNode(const QModelIndex& index);
    // Keeps the open-folder icon on the first selected node of `selection`.
    void followSelection(QItemSelectionModel* selection);

    // How many nodes the tree takes before refusing more; the default is all
    // that the model can number.
    void setNodeLimit(std::size_t limit) { nodeLimit_ = limit; }

    QModelIndex index(int row, int column, const QModelIndex& parent = {}) const override;
    QModelIndex parent(const QModelIndex& child) const override;
    int rowCount(const QModelIndex& parent = {}) const override;
    int columnCount(const QModelIndex& parent = {}) const override;
    QVariant data(const QModelIndex& index, int role = Qt::DisplayRole) const override;
    bool setData(const QModelIndex& index, const QVariant& value, int role = Qt::EditRole) override;
    Qt::ItemFlags flags(const QModelIndex& index) const override;

private:
    using Id = std::uint32_t;
    static constexpr Id kNone = std::numeric_limits<Id>::max();

    struct Node {
        std::string name;   // the bytes on disk, or the encoding of `text`
        QString text;       // set for the root and for edited nodes only
        bool hasText = false;
        NodeKind kind = NodeKind::Root;
        Id parent = kNone;
        Id row = 0;
        std::vector<Id> children;
    };

    class Sink;

    Id idOf(const QModelIndex& index) const;
    QModelIndex indexOf(Id id) const;
    QString textOf(const Node& node) const;
    std::optional<Id> append(Id parent, std::string_view name, NodeKind kind);

    std::vector<Node> nodes_;
    QList<QIcon> icons_;
    Id selected_ = kNone;
    // While a scan fills this node, the views still see its former rows only.
    Id filling_ = kNone;
    int rowsShownWhileFilling_ = 0;
    // Counts the emptyings, so that a scan learns that its tree is gone.
    std::uint64_t clears_ = 0;
    std::size_t nodeLimit_ = std::numeric_limits<int>::max();
    std::size_t scanBudget_ = kScanNodeBudget;
    FolderOpener open_ = openFolder;
};

} // namespace teintelle
