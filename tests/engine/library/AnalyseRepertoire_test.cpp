#include "library/AnalyseRepertoire.h"

#include "common/Error.h"
#include "library/EffectNames.h"
#include "common/LeasedFile.h"
#include "common/TempFolder.h"
#include "lut/CubeReader.h"

#include <gtest/gtest.h>

#include <cerrno>
#include <chrono>
#include <climits>
#include <cstring>
#include <filesystem>
#include <string>
#include <vector>

#include <fcntl.h>
#include <sys/socket.h>
#include <sys/un.h>
#include <unistd.h>

namespace teintelle {
namespace {

using test::TempFolder;

// A plain tree: node 0 is the root the scan starts under.
class ListSink : public TreeSink {
public:
    struct Node {
        NodeId parent;
        std::string name;
        NodeKind kind;
        std::vector<NodeId> children;
    };

    explicit ListSink(std::size_t capacity = SIZE_MAX) : capacity_(capacity) { nodes.push_back({0, "root", NodeKind::Root, {}}); }

    std::optional<NodeId> addNode(NodeId parent, std::string_view name, NodeKind kind) override
    {
        if (nodes.size() > capacity_)
            return std::nullopt;
        nodes.push_back({parent, std::string(name), kind, {}});
        nodes[parent].children.push_back(nodes.size() - 1);
        return nodes.size() - 1;
    }

    // One line a node below the root, two spaces of indent a level, "/" after
    // a folder's name.
    std::string render() const
    {
        std::string out;
        // An explicit stack: the deep trees of these tests would overflow a recursion.
        std::vector<std::pair<NodeId, std::size_t>> stack;
        for (auto it = nodes[0].children.rbegin(); it != nodes[0].children.rend(); ++it)
            stack.push_back({*it, 0});
        while (!stack.empty()) {
            const auto [id, depth] = stack.back();
            stack.pop_back();
            out.append(2 * depth, ' ');
            out += nodes[id].name;
            out += nodes[id].kind == NodeKind::Folder ? "/\n" : "\n";
            for (auto it = nodes[id].children.rbegin(); it != nodes[id].children.rend(); ++it)
                stack.push_back({*it, depth + 1});
        }
        return out;
    }

    // The texts from the root down to a node, the root's text given.
    std::string pathOf(NodeId id, const std::string& rootText) const
    {
        std::vector<std::string_view> texts;
        for (; id != 0; id = nodes[id].parent)
            texts.insert(texts.begin(), nodes[id].name);
        texts.insert(texts.begin(), rootText);
        return CheminDuNoeud(texts);
    }

    std::vector<Node> nodes;

private:
    std::size_t capacity_;
};

std::string scan(const std::string& folderText, const FolderOpener& open = openFolder)
{
    ListSink sink;
    AnalyseRepertoire(searchPathFor(folderText), 0, sink, open);
    return sink.render();
}

int openDescriptorCount()
{
    int count = 0;
    for ([[maybe_unused]] const auto& entry : std::filesystem::directory_iterator("/proc/self/fd"))
        ++count;
    return count;
}

TEST(AnalyseRepertoire, ListsArchiveOnlyFilesWhoseNameHoldsCubeAndEveryFolder)
{
    TempFolder tree;
    for (const char* name : {"Look.cube", "LOOK.CUBE", "a.cube.bak", "x.cubes", ".cube", "c.txt", "cube"})
        tree.write(name);
    tree.write("b.cube", "", 0444);   // read-only
    tree.write("w.cube", "", 0200);   // its owner may write it: the only bit that counts
    tree.fifo("p.cube");         // opening it would block the scan
    tree.link("Look.cube", "lien.cube");
    tree.link("absent", "mort.cube");
    tree.folder("films.cube");
    tree.write("films.cube/f.cube");
    tree.folder(".cache");       // a dot name: skipped with all below it
    tree.write(".cache/h.cube");
    tree.folder("lecture");
    tree.write("lecture/l.cube");
    // A read-only folder is listed and scanned. Only root may write into it,
    // so it is made read-only once it holds its file.
    ASSERT_EQ(::chmod(tree.path("lecture").c_str(), 0555), 0);
    tree.folder("vide");
    tree.folder("sans");
    tree.folder("sans/effet");
    tree.write("sans/effet/notes.txt");
    {
        // A socket is no effect whatever its name.
        const int fd = ::socket(AF_UNIX, SOCK_STREAM, 0);
        sockaddr_un address{};
        address.sun_family = AF_UNIX;
        const std::string socketPath = tree.path("s.cube");
        std::strncpy(address.sun_path, socketPath.c_str(), sizeof address.sun_path - 1);
        ASSERT_EQ(::bind(fd, reinterpret_cast<sockaddr*>(&address), sizeof address), 0);
        ::close(fd);
    }

    EXPECT_EQ(scan(tree.top()),
              "a.cube.bak\n"
              "films.cube/\n"
              "  f.cube\n"
              "lecture/\n"
              "  l.cube\n"
              "lien.cube\n"
              "LOOK.CUBE\n"
              "Look.cube\n"
              "sans/\n"
              "  effet/\n"
              "vide/\n"
              "w.cube\n"
              "x.cubes\n");
}

TEST(AnalyseRepertoire, SameTreeWithOrWithoutFinalSeparator)
{
    TempFolder tree;
    tree.folder("a");
    tree.write("a/un.cube");
    tree.write("deux.cube");
    const std::string expected = "a/\n  un.cube\ndeux.cube\n";
    EXPECT_EQ(scan(tree.top()), expected);
    EXPECT_EQ(scan(tree.top() + "/"), expected);
    EXPECT_EQ(scan(tree.top() + "//"), expected);
}

TEST(AnalyseRepertoire, TextNamingNoFolderAddsNothing)
{
    TempFolder tree;
    tree.write("seul.cube");
    tree.link("seul.cube", "lien");
    tree.link("absent", "casse");
    for (const std::string& text : {tree.path("seul.cube"), tree.path("lien"), tree.path("casse"),
                                    tree.path("absent"), tree.path("seul.cube/"), std::string("teintelle-nowhere")}) {
        SCOPED_TRACE(text);
        EXPECT_EQ(scan(text), "");
    }
    // A link to a folder is scanned as the folder.
    tree.folder("vrai");
    tree.write("vrai/v.cube");
    tree.link("vrai", "vers-vrai");
    EXPECT_EQ(scan(tree.path("vers-vrai")), "v.cube\n");

    // Without any "/" there is no folder part at all.
    ListSink sink;
    AnalyseRepertoire("*.*", 0, sink);
    EXPECT_EQ(sink.nodes.size(), 1u);
}

TEST(AnalyseRepertoire, FolderLinksAreFollowedAndCyclesEnd)
{
    TempFolder tree;
    tree.folder("a");
    tree.write("a/x.cube");
    tree.link("..", "a/haut");         // back to the top: a cycle
    tree.link(".", "a/ici");           // onto itself
    tree.folder("b");
    tree.link("../a", "b/vers-a");     // a sibling, not an ancestor: entered
    tree.link(tree.top(), "b/absolu"); // the top again, by an absolute path

    EXPECT_EQ(scan(tree.top()),
              "a/\n"
              "  haut/\n"
              "  ici/\n"
              "  x.cube\n"
              "b/\n"
              "  absolu/\n"
              "  vers-a/\n"
              "    haut/\n"
              "    ici/\n"
              "    x.cube\n");
}

TEST(AnalyseRepertoire, PseudoFileSystemsAreListedButNotEntered)
{
    TempFolder tree;
    tree.link("/proc", "processus");
    tree.link("/sys", "systeme");
    tree.write("z.cube");
    EXPECT_EQ(scan(tree.top()), "processus/\nsysteme/\nz.cube\n");
    EXPECT_EQ(scan("/proc"), "");
}

TEST(AnalyseRepertoire, UnreadableFolderKeepsItsNodeWithoutChildren)
{
    TempFolder tree;
    tree.folder("a");
    tree.write("a/avant.cube");
    tree.folder("a/secret");
    tree.write("a/secret/cache.cube");
    tree.folder("a/secret/sous");
    tree.write("a/zapres.cube");
    tree.folder("b");
    tree.write("b/suite.cube");

    // Root may open anything, so the refusal comes through the opener.
    const FolderOpener refuseSecret = [](int at, const char* name) {
        if (std::strcmp(name, "secret") == 0) {
            errno = EACCES;
            return -1;
        }
        return openFolder(at, name);
    };
    const std::string expected = "a/\n  avant.cube\n  secret/\n  zapres.cube\nb/\n  suite.cube\n";
    EXPECT_EQ(scan(tree.top(), refuseSecret), expected);

    // The same case with the real permission check, run as a user the
    // permission applies to when the test runs as root.
    ASSERT_EQ(::chmod(tree.path("a/secret").c_str(), 0), 0);
    const std::string asUser = test::inChildWithin(60, [&] {
        return test::becomeUnprivileged() ? scan(tree.top()) : std::string("could not become nobody");
    });
    EXPECT_EQ(asUser, "returned " + expected);
}

TEST(AnalyseRepertoire, RefusedNodeEndsTheScanWithTheInsertErrorAndClosesEverything)
{
    TempFolder tree;
    tree.folder("a");
    tree.folder("a/b");
    tree.write("a/b/c.cube");
    tree.write("a/b/d.cube");
    tree.write("e.cube");

    const int before = openDescriptorCount();
    ListSink sink(3); // the root and three more
    try {
        AnalyseRepertoire(searchPathFor(tree.top()), 0, sink);
        FAIL() << "no error";
    } catch (const Error& error) {
        EXPECT_STREQ(error.what(), "Impossible d'insérer un élément");
    }
    EXPECT_EQ(sink.render(), "a/\n  b/\n    c.cube\n");
    EXPECT_EQ(openDescriptorCount(), before);
}

// A maze of folder links that join up again: folders L0 to L<levels - 1>,
// each holding `effects` effect files and, but the last, two links to the
// next one. The tree below L0 doubles at every level.
void makeMaze(const TempFolder& tree, int levels, int effects)
{
    for (int level = 0; level < levels; ++level) {
        const std::string folder = "L" + std::to_string(level);
        tree.folder(folder);
        for (int e = 0; e < effects; ++e)
            tree.write(folder + "/e" + std::to_string(e) + ".cube");
        if (level > 0) {
            const std::string previous = "L" + std::to_string(level - 1);
            tree.link("../" + folder, previous + "/a");
            tree.link("../" + folder, previous + "/b");
        }
    }
}

TEST(AnalyseRepertoire, ScanEndsWithTheInsertErrorPastItsBudgetOfNodes)
{
    TempFolder tree;
    tree.folder("Favoris");
    tree.write("Favoris/f.cube");
    tree.folder("a");
    tree.link("../Favoris", "a/Favoris");
    tree.write("a/x.cube");
    tree.link("Favoris", "b");
    // A linked folder shows its effects wherever it appears.
    const std::string full = "a/\n  Favoris/\n    f.cube\n  x.cube\nb/\n  f.cube\nFavoris/\n  f.cube\n";
    EXPECT_EQ(scan(tree.top()), full);

    struct Case {
        std::size_t budget;
        const char* kept; // nullptr: the scan ends
    };
    for (const Case& c : {Case{8, nullptr}, Case{7, "a/\n  Favoris/\n    f.cube\n  x.cube\nb/\n  f.cube\nFavoris/\n"},
                          Case{1, "a/\n"}, Case{0, ""}}) {
        SCOPED_TRACE(c.budget);
        const int before = openDescriptorCount();
        ListSink sink;
        ScanLimits limits;
        limits.nodeBudget = c.budget;
        try {
            EXPECT_EQ(AnalyseRepertoire(searchPathFor(tree.top()), 0, sink, openFolder, limits), ScanEnd::Finished);
            EXPECT_EQ(c.kept, nullptr) << "no error";
            EXPECT_EQ(sink.render(), full);
        } catch (const Error& error) {
            EXPECT_STREQ(error.what(), kInsertError);
            ASSERT_NE(c.kept, nullptr);
            EXPECT_EQ(sink.render(), c.kept);
        }
        EXPECT_EQ(openDescriptorCount(), before);
    }
}

// Without a bound this maze would add two million nodes; with it, the scan
// ends at the budget however the links join up.
TEST(AnalyseRepertoire, MazeOfLinksThatJoinUpAgainEndsAtTheBudget)
{
    TempFolder tree;
    makeMaze(tree, 16, 30);
    const int before = openDescriptorCount();
    ListSink sink;
    try {
        AnalyseRepertoire(searchPathFor(tree.path("L0")), 0, sink);
        FAIL() << "no error after " << sink.nodes.size() - 1 << " nodes";
    } catch (const Error& error) {
        EXPECT_STREQ(error.what(), kInsertError);
    }
    EXPECT_EQ(sink.nodes.size(), 1 + kScanNodeBudget);
    EXPECT_EQ(openDescriptorCount(), before);
    // Depth first: the first nodes go straight down the a links.
    NodeId node = 0;
    for (int level = 1; level < 16; ++level) {
        node = sink.nodes[node].children.at(0);
        ASSERT_EQ(sink.nodes[node].name, "a") << "level " << level;
    }
}

TEST(AnalyseRepertoire, StopCheckStopsTheScanWhereItStands)
{
    TempFolder tree;
    makeMaze(tree, 4, 2);
    ListSink whole;
    ASSERT_EQ(AnalyseRepertoire(searchPathFor(tree.path("L0")), 0, whole), ScanEnd::Finished);
    ASSERT_EQ(whole.nodes.size(), 1u + 44u); // 2 effects and 2 x (a link and what is below it) a level

    for (int stopAt : {1, 5, 12}) {
        SCOPED_TRACE(stopAt);
        const int before = openDescriptorCount();
        int asked = 0;
        ScanLimits limits;
        limits.checkEvery = std::chrono::milliseconds(0);
        limits.shouldStop = [&] { return ++asked == stopAt; };
        ListSink sink;
        EXPECT_EQ(AnalyseRepertoire(searchPathFor(tree.path("L0")), 0, sink, openFolder, limits), ScanEnd::Stopped);
        EXPECT_EQ(asked, stopAt); // never asked again once it said stop
        // What came is the start of the whole scan.
        ASSERT_LT(sink.nodes.size(), whole.nodes.size());
        for (NodeId id = 1; id < sink.nodes.size(); ++id) {
            EXPECT_EQ(sink.nodes[id].name, whole.nodes[id].name);
            EXPECT_EQ(sink.nodes[id].parent, whole.nodes[id].parent);
        }
        EXPECT_EQ(openDescriptorCount(), before);
    }

    // Asked only once its time has come.
    int asked = 0;
    ScanLimits rarely;
    rarely.checkEvery = std::chrono::hours(1);
    rarely.shouldStop = [&] { return ++asked > 0; };
    ListSink sink;
    EXPECT_EQ(AnalyseRepertoire(searchPathFor(tree.path("L0")), 0, sink, openFolder, rarely), ScanEnd::Finished);
    EXPECT_EQ(asked, 0);
    EXPECT_EQ(sink.render(), whole.render());
}

// A chain of folders far deeper than any recursion or path limit. Every
// tenth level also holds a folder after the chain's one, entered only once
// the whole chain below it is done: the scan must come back up through every
// level and still open what follows.
TEST(AnalyseRepertoire, ChainTenThousandFoldersDeep)
{
    constexpr int kDepth = 10000;
    constexpr int kSideEvery = 10;
    TempFolder tree;
    {
        int at = ::open(tree.top().c_str(), O_RDONLY | O_DIRECTORY | O_CLOEXEC);
        ASSERT_GE(at, 0);
        for (int level = 0; level < kDepth; ++level) {
            ASSERT_EQ(::mkdirat(at, "d", 0755), 0);
            if (level % kSideEvery == 0) {
                ASSERT_EQ(::mkdirat(at, "e", 0755), 0);
                const int effect = ::openat(at, "e/x.cube", O_WRONLY | O_CREAT | O_CLOEXEC, 0644);
                ASSERT_GE(effect, 0);
                ::close(effect);
            }
            const int next = ::openat(at, "d", O_RDONLY | O_DIRECTORY | O_CLOEXEC);
            ::close(at);
            ASSERT_GE(next, 0);
            at = next;
        }
        const int effect = ::openat(at, "fond.cube", O_WRONLY | O_CREAT | O_CLOEXEC, 0644);
        ASSERT_GE(effect, 0);
        const std::string cube = "LUT_3D_SIZE 1\n0.5 0.25 1.0\n";
        ASSERT_EQ(::write(effect, cube.data(), cube.size()), ssize_t(cube.size()));
        ::close(effect);
        ::close(at);
    }

    const int before = openDescriptorCount();
    ListSink sink;
    AnalyseRepertoire(searchPathFor(tree.top()), 0, sink);
    EXPECT_EQ(openDescriptorCount(), before);

    // d at every level, e and e/x.cube at every tenth, fond.cube at the bottom.
    ASSERT_EQ(sink.nodes.size(), 1u + kDepth + 2u * (kDepth / kSideEvery) + 1u);
    NodeId node = 0;
    for (int level = 0; level < kDepth; ++level) {
        const auto& children = sink.nodes[node].children;
        const bool side = level % kSideEvery == 0;
        ASSERT_EQ(children.size(), side ? 2u : 1u) << "level " << level;
        if (side) {
            const auto& second = sink.nodes[children[1]];
            ASSERT_EQ(second.name, "e");
            ASSERT_EQ(second.children.size(), 1u) << "level " << level;
        }
        node = children[0];
        ASSERT_EQ(sink.nodes[node].name, "d");
    }
    ASSERT_EQ(sink.nodes[node].children.size(), 1u);
    const NodeId bottom = sink.nodes[node].children[0];
    EXPECT_EQ(sink.nodes[bottom].name, "fond.cube");
    EXPECT_EQ(sink.nodes[bottom].kind, NodeKind::Effect);

    const std::string path = sink.pathOf(bottom, tree.top());
    EXPECT_GT(path.size(), static_cast<std::size_t>(PATH_MAX));
    EXPECT_TRUE(isEffectPath(path));

    // Selecting the bottom effect reads it, however long its path.
    LutTable table;
    std::int32_t taille = 0;
    ASSERT_EQ(loadCubeFile(path, table, taille), CubeStatus::Loaded);
    EXPECT_EQ(taille, 1);
    EXPECT_EQ(table(0, 0, 0).r, 127);
    EXPECT_EQ(table(0, 0, 0).v, 63);
    EXPECT_EQ(openDescriptorCount(), before);
    EXPECT_EQ(loadCubeFile(path + "x", table, taille), CubeStatus::FileMissing);
}

// A folder that the scan had to close on its way down and that was replaced
// on disk before the scan came back to it is not entered through its new
// self: its remaining sub-folders keep their nodes without children.
TEST(AnalyseRepertoire, FolderReplacedWhileClosedIsNotEnteredAgain)
{
    constexpr int kDepth = 300;
    TempFolder tree;
    std::string chain = "d";
    tree.folder(chain);
    tree.folder("d/e");
    tree.write("d/e/avant.cube");
    for (int level = 1; level < kDepth; ++level) {
        chain += "/d";
        tree.folder(chain);
    }
    tree.folder(chain + "/bas");

    const FolderOpener swapAtTheBottom = [&tree](int at, const char* name) {
        if (std::strcmp(name, "bas") == 0) {
            std::filesystem::rename(tree.path("d"), tree.path("ancien"));
            tree.folder("d");
            tree.folder("d/e");
            tree.write("d/e/apres.cube");
        }
        return openFolder(at, name);
    };
    ListSink sink;
    AnalyseRepertoire(searchPathFor(tree.top()), 0, sink, swapAtTheBottom);
    ASSERT_EQ(sink.nodes.size(), 1u + kDepth + 2u);
    const NodeId first = sink.nodes[0].children.at(0);
    ASSERT_EQ(sink.nodes[first].children.size(), 2u);
    const auto& side = sink.nodes[sink.nodes[first].children[1]];
    EXPECT_EQ(side.name, "e");
    EXPECT_TRUE(side.children.empty());
}

TEST(AnalyseRepertoire, NamesAreKeptByteForByte)
{
    TempFolder tree;
    const std::string latin1 = "\xe9t\xe9.cube";     // not UTF-8
    const std::string lineBreak = "deux\nlignes.cube";
    const std::string folder = "dos\xff\nsier";
    tree.write(latin1, "A");
    tree.write(lineBreak, "B");
    tree.folder(folder);
    tree.write(folder + "/\t.CUBE", "C");

    ListSink sink;
    AnalyseRepertoire(searchPathFor(tree.top() + "/"), 0, sink);
    ASSERT_EQ(sink.nodes.size(), 5u);
    EXPECT_EQ(sink.render(), lineBreak + "\n" + folder + "/\n  \t.CUBE\n" + latin1 + "\n");

    // The path built from the texts reads the very file listed.
    for (NodeId id : {1, 3, 4}) {
        const std::string path = sink.pathOf(id, tree.top() + "/");
        SCOPED_TRACE(path);
        const int fd = ::open(path.c_str(), O_RDONLY | O_CLOEXEC);
        ASSERT_GE(fd, 0);
        char byte = 0;
        EXPECT_EQ(::read(fd, &byte, 1), 1);
        ::close(fd);
        EXPECT_EQ(byte, sink.nodes[id].name == latin1 ? 'A' : sink.nodes[id].name == lineBreak ? 'B' : 'C');
    }
}

TEST(AnalyseRepertoire, EntriesComeInFoldedNameOrder)
{
    TempFolder tree;
    for (const char* name : {"b", "_x", "A", "a", "Ab", "aB", "A_", "\xc3\xa9t\xc3\xa9", "Z", "[", "0"})
        tree.folder(name);
    EXPECT_EQ(scan(tree.top()), "0/\nA/\na/\nAb/\naB/\nA_/\nb/\nZ/\n[/\n_x/\n\xc3\xa9t\xc3\xa9/\n");
}

TEST(EntryOrder, FoldsAsciiLettersToUpperCaseThenComparesBytes)
{
    struct Case {
        const char* lower;
        const char* higher;
    };
    for (const Case& c : std::initializer_list<Case>{
             {"a", "B"}, {"A", "b"}, {"AB", "A_"}, {"ab", "a_"}, {"Z", "["}, {"z", "["},
             {"LOOK.CUBE", "Look.cube"}, {"Look.cube", "look.cube"}, {"ab", "abc"}, {"", "a"},
             {"z", "\xe9"}, {"a.cube", "a.cube.bak"}}) {
        SCOPED_TRACE(std::string(c.lower) + " < " + c.higher);
        EXPECT_TRUE(entryNameLess(c.lower, c.higher));
        EXPECT_FALSE(entryNameLess(c.higher, c.lower));
    }
    EXPECT_FALSE(entryNameLess("same", "same"));
    EXPECT_FALSE(entryNameLess("", ""));
}

TEST(EffectNames, NameAndPathTests)
{
    struct Case {
        const char* text;
        bool nameCanBe;
        bool path;
    };
    for (const Case& c : std::initializer_list<Case>{
             {"Look.cube", true, true},  {"LOOK.CUBE", true, true}, {"a.Cube", true, true},
             {".cube", true, true},      {"a.cube.bak", true, false}, {"x.cubes", true, false},
             {"a..cube", true, true},    {"cube", false, false},    {"a.cub", false, false},
             {"a.cu.be", false, false},  {".cub", false, false},    {"", false, false},
             {"/", false, false},        {"\xe9.cube", true, true}, {"a.\xc3\xa7ube", false, false},
             {"dir.cube/x", true, false}}) {
        SCOPED_TRACE(c.text);
        EXPECT_EQ(nameCanBeEffect(c.text), c.nameCanBe);
        EXPECT_EQ(isEffectPath(c.text), c.path);
    }
}

TEST(EffectNames, NodePathPutsTheSeparatorBetweenEveryTwoTexts)
{
    using Texts = std::vector<std::string_view>;
    EXPECT_EQ(CheminDuNoeud(Texts{}), "");
    EXPECT_EQ(CheminDuNoeud(Texts{"/opt/luts/"}), "/opt/luts/");
    EXPECT_EQ(CheminDuNoeud(Texts{"/opt/luts"}), "/opt/luts");
    EXPECT_EQ(CheminDuNoeud(Texts{"/opt/luts/", "films", "a.cube"}), "/opt/luts//films/a.cube");
    EXPECT_EQ(CheminDuNoeud(Texts{"/opt/luts", "films", "a.cube"}), "/opt/luts/films/a.cube");
    EXPECT_EQ(CheminDuNoeud(Texts{"/", "x.cube"}), "//x.cube");
    EXPECT_EQ(CheminDuNoeud(Texts{"r", "edit/", "b"}), "r/edit//b");
    EXPECT_EQ(CheminDuNoeud(Texts{"", ""}), "/");

    EXPECT_EQ(searchPathFor("/opt/luts"), "/opt/luts/*.*");
    EXPECT_EQ(searchPathFor("/opt/luts/"), "/opt/luts/*.*");
    EXPECT_EQ(searchPathFor("/"), "/*.*");
    EXPECT_EQ(searchPathFor("luts"), "luts/*.*");
}

} // namespace
} // namespace teintelle
