// The scan of a large effect library, beside find(1) listing the same tree.
//
//   bench_library_scan [--benchmark_repetitions=N ...]
//
// The tree (100,000 files in 2,000 folders, one file in five named *.cube) is
// made in a fresh folder under $TMPDIR (or /tmp) and removed at the end;
// TEINTELLE_BENCH_LIBRARY=DIR scans an existing tree instead. Every timed run
// follows a first untimed pass over the tree, so the cache is warm.

#include "library/AnalyseRepertoire.h"
#include "library/EffectNames.h"
#ifdef TEINTELLE_BENCH_TREE_MODEL
#include "window/EffectTreeModel.h"
#include <QFile>
#endif

#include <benchmark/benchmark.h>

#include <cstdio>
#include <cstdlib>
#include <stdexcept>
#include <string>

#include <fcntl.h>
#include <spawn.h>
#include <sys/stat.h>
#include <sys/wait.h>
#include <unistd.h>

extern char** environ;

namespace {

constexpr int kTopFolders = 40;
constexpr int kSubFoldersEach = 49; // 40 + 40 x 49 = 2,000 folders
constexpr int kFilesPerFolder = 50; // 2,000 x 50 = 100,000 files

std::string g_tree;

void makeFolder(const std::string& path)
{
    if (::mkdir(path.c_str(), 0755) != 0)
        throw std::runtime_error("cannot make " + path);
}

void fillFolder(const std::string& folder, int& serial)
{
    for (int i = 0; i < kFilesPerFolder; ++i, ++serial) {
        char name[64];
        if (serial % 5 == 0)
            std::snprintf(name, sizeof name, "/Effet %06d.cube", serial);
        else
            std::snprintf(name, sizeof name, serial % 5 == 1 ? "/photo_%06d.jpg" : "/notes-%06d.txt", serial);
        const int fd = ::open((folder + name).c_str(), O_WRONLY | O_CREAT | O_EXCL | O_CLOEXEC, 0644);
        if (fd < 0)
            throw std::runtime_error("cannot make a file in " + folder);
        ::close(fd);
    }
}

std::string makeLibrary()
{
    const char* tmp = std::getenv("TMPDIR");
    std::string pattern = std::string(tmp != nullptr && *tmp != '\0' ? tmp : "/tmp") + "/teintelle-bench-library-XXXXXX";
    if (::mkdtemp(pattern.data()) == nullptr)
        throw std::runtime_error("mkdtemp failed");
    int serial = 0;
    for (int top = 0; top < kTopFolders; ++top) {
        const std::string topFolder = pattern + "/Collection " + std::to_string(top);
        makeFolder(topFolder);
        fillFolder(topFolder, serial);
        for (int sub = 0; sub < kSubFoldersEach; ++sub) {
            const std::string subFolder = topFolder + "/serie_" + std::to_string(sub);
            makeFolder(subFolder);
            fillFolder(subFolder, serial);
        }
    }
    return pattern;
}

class CountingSink : public teintelle::TreeSink {
public:
    std::optional<teintelle::NodeId> addNode(teintelle::NodeId, std::string_view, teintelle::NodeKind) override
    {
        return ++count;
    }
    std::size_t count = 0;
};

void runFind(const std::string& folder)
{
    posix_spawn_file_actions_t actions;
    posix_spawn_file_actions_init(&actions);
    posix_spawn_file_actions_addopen(&actions, STDOUT_FILENO, "/dev/null", O_WRONLY, 0);
    std::string program = "find", path = folder, option = "-printf", format = "%y %p\n";
    char* argv[] = {program.data(), path.data(), option.data(), format.data(), nullptr};
    pid_t child = 0;
    const int failed = posix_spawnp(&child, "find", &actions, nullptr, argv, environ);
    posix_spawn_file_actions_destroy(&actions);
    int status = 0;
    if (failed != 0 || ::waitpid(child, &status, 0) != child || !WIFEXITED(status) || WEXITSTATUS(status) != 0)
        throw std::runtime_error("find failed");
}

void BM_Find(benchmark::State& state)
{
    for (auto _ : state)
        runFind(g_tree);
}

void BM_ScanIntoCounter(benchmark::State& state)
{
    std::size_t nodes = 0;
    for (auto _ : state) {
        CountingSink sink;
        teintelle::AnalyseRepertoire(teintelle::searchPathFor(g_tree), 0, sink);
        nodes = sink.count;
    }
    state.counters["nodes"] = double(nodes);
}

#ifdef TEINTELLE_BENCH_TREE_MODEL
void BM_ScanIntoTreeModel(benchmark::State& state)
{
    teintelle::EffectTreeModel model;
    const QString text = QFile::decodeName(QByteArray::fromStdString(g_tree + "/"));
    int rootRows = 0;
    for (auto _ : state) {
        const QModelIndex root = model.addRoot(text);
        model.AnalyseRepertoire(root, teintelle::searchPathFor(g_tree + "/"));
        rootRows = model.rowCount(root);
    }
    state.counters["root rows"] = rootRows;
}
#endif

} // namespace

int main(int argc, char** argv)
{
    benchmark::Initialize(&argc, argv);
    const char* given = std::getenv("TEINTELLE_BENCH_LIBRARY");
    const bool made = given == nullptr || *given == '\0';
    g_tree = made ? makeLibrary() : std::string(given);

    // Warm the cache.
    runFind(g_tree);
    CountingSink warm;
    teintelle::AnalyseRepertoire(teintelle::searchPathFor(g_tree), 0, warm);

    benchmark::RegisterBenchmark("find -printf '%y %p\\n'", BM_Find)->Unit(benchmark::kMillisecond)->UseRealTime();
#ifdef TEINTELLE_BENCH_TREE_MODEL
    benchmark::RegisterBenchmark("AnalyseRepertoire into EffectTreeModel", BM_ScanIntoTreeModel)
        ->Unit(benchmark::kMillisecond)
        ->UseRealTime();
#endif
    benchmark::RegisterBenchmark("AnalyseRepertoire into a counter", BM_ScanIntoCounter)
        ->Unit(benchmark::kMillisecond)
        ->UseRealTime();
    benchmark::RunSpecifiedBenchmarks();
    benchmark::Shutdown();

    if (made) {
        const std::string command = "rm -rf '" + g_tree + "'";
        [[maybe_unused]] const int status = std::system(command.c_str());
    }
    return 0;
}
