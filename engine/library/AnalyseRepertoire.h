#pragma once

#include <chrono>
#include <cstddef>
#include <functional>
#include <optional>
#include <string_view>

namespace teintelle {

// What an entry of the effect tree stands for.
enum class NodeKind : unsigned char { Root, Folder, Effect };

// A node of whatever tree a scan fills, as the tree numbers it.
using NodeId = std::size_t;

// Where a scan puts its nodes: the window's tree model, or a plain list.
class TreeSink {
public:
    virtual ~TreeSink() = default;

    // Appends a node named `name` (the entry's bytes as listed) as the last
    // child of `parent`. Returns the new node, or nothing when the tree
    // cannot take it.
    virtual std::optional<NodeId> addNode(NodeId parent, std::string_view name, NodeKind kind) = 0;
};

// Opens a folder for listing, as openat(at, name, O_RDONLY | O_DIRECTORY |
// O_CLOEXEC) does: a descriptor, or -1 with errno set. The scan goes through
// it for every folder it enters, so that a test can refuse some of them even
// when it runs as root.
using FolderOpener = std::function<int(int at, const char* name)>;
int openFolder(int at, const char* name);

inline constexpr const char* kInsertError = "Impossible d'insérer un élément";

// The nodes one scan may add. Folder links that join up again (two links in
// every folder of a chain to its next one) double the tree at every level, so
// without a bound a maze of thirty folders would never end. A library of a
// hundred thousand effects takes a fifth of it.
inline constexpr std::size_t kScanNodeBudget = 500'000;

// What bounds a scan besides the tree.
struct ScanLimits {
    // One node more than this ends the scan as a refused node does.
    std::size_t nodeBudget = kScanNodeBudget;
    // Asked between two nodes (and between two reads of a large folder) once
    // `checkEvery` has passed since the last time; true stops the scan where
    // it stands. It may run anything but a change of the scan's own tree.
    std::function<bool()> shouldStop;
    std::chrono::milliseconds checkEvery{20};
};

enum class ScanEnd { Finished, Stopped };

// Adds below `parent` the effect files and the sub-folders of the folder that
// `searchPath` names (everything up to its last "/", which is followed by the
// pattern, always "*.*"), each sub-folder's contents below its node, depth
// first and pre-order, children in the order of entryNameLess.
//
// - Names beginning with "." are skipped.
// - An effect is a regular file whose owner may write it and whose name can
//   be an effect (nameCanBeEffect); a folder is listed whatever its name and
//   mode. Links are followed; a broken link, a pipe, a socket or a device is
//   not listed. Only names are read, and a file's attributes only when its
//   type is unknown, it is a link, or its name can be an effect: no file is
//   ever opened.
// - A folder that cannot be opened (refused, vanished) keeps its node with no
//   children. A folder already being scanned (a cycle of links) and a folder
//   on one of the kernel's pseudo file systems (proc, sysfs, cgroup and their
//   kind) are listed but not entered.
// - Folders are opened relative to their parent, so depth and path length
//   have no limit but the tree's.
// - Nothing is added when the folder part names no folder.
//
// Throws Error(kInsertError) when the sink refuses a node or the scan would
// pass its budget of nodes; returns ScanEnd::Stopped when `limits.shouldStop`
// stopped it. Either way the nodes added so far stay and every folder opened
// by the scan is closed.
ScanEnd AnalyseRepertoire(std::string_view searchPath, NodeId parent, TreeSink& sink,
                          const FolderOpener& open = openFolder, const ScanLimits& limits = {});

} // namespace teintelle
