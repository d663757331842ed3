#include "window/EffectTreeModel.h"

#include "common/Error.h"
#include "library/EffectNames.h"
#include "window/FolderDialogStart.h"
#include "common/TempFolder.h"
#include "WindowFixture.h"

#include <QAbstractItemModelTester>
#include <QFile>
#include <QPixmap>
#include <QSignalSpy>
#include <QTest>
#include <QTreeView>

#include <chrono>
#include <thread>

#include <fcntl.h>
#include <unistd.h>

using teintelle::EffectTreeModel;
using teintelle::NodeKind;
using teintelle::test::TempFolder;
using teintelle::testing::childTexts;

namespace {

QIcon plainIcon(Qt::GlobalColor color)
{
    QPixmap pixmap(16, 16);
    pixmap.fill(color);
    return QIcon(pixmap);
}

// The first byte of the file a node path leads to, or -1.
int firstByteAt(const std::string& path)
{
    const int fd = ::open(path.c_str(), O_RDONLY | O_CLOEXEC);
    if (fd < 0)
        return -1;
    unsigned char byte = 0;
    const bool read = ::read(fd, &byte, 1) == 1;
    ::close(fd);
    return read ? byte : -1;
}

// Opens folders as a slow disk does, so that a scan's stop check, asked
// every 20 ms, comes between two folders.
int openSlowly(int at, const char* name)
{
    std::this_thread::sleep_for(std::chrono::milliseconds(25));
    return teintelle::openFolder(at, name);
}

// Steps 3 to 6 of a change of the effect folder field.
QModelIndex build(EffectTreeModel& model, const QString& text)
{
    const QModelIndex root = model.addRoot(text);
    model.AnalyseRepertoire(root, teintelle::searchPathFor(QFile::encodeName(text).toStdString()));
    return root;
}

} // namespace

class EffectTreeModelTest : public QObject {
    Q_OBJECT

    // A folder "a" holding two effects, and one effect beside it: scanned by
    // a model held to two nodes below the root, the scan ends with the insert
    // error and keeps the folder and the one effect that came before it.
    static void scanEndsWithTheInsertErrorAfterTwoNodes(EffectTreeModel& model)
    {
        TempFolder tree;
        tree.folder("a");
        tree.write("a/un.cube");
        tree.write("a/deux.cube");
        tree.write("trois.cube");

        const QModelIndex root = model.addRoot(QString::fromStdString(tree.top()));
        QSignalSpy inserted(&model, &QAbstractItemModel::rowsInserted);
        try {
            model.AnalyseRepertoire(root, teintelle::searchPathFor(tree.top()));
            QFAIL("no error");
        } catch (const teintelle::Error& error) {
            QCOMPARE(QString::fromUtf8(error.what()), QString::fromUtf8("Impossible d'insérer un élément"));
        }
        QCOMPARE(inserted.size(), 1);
        QCOMPARE(childTexts(model, root), QStringList{"a"});
        QCOMPARE(childTexts(model, model.index(0, 0, root)), QStringList{"deux.cube"});
    }

private slots:
    void scanFillsTheTreeInOneInsertion()
    {
        TempFolder tree;
        tree.folder("films.cube");
        tree.write("films.cube/Noir.CUBE");
        tree.folder("vide");
        tree.write("b.cube", "", 0444);
        tree.write("c.txt");
        tree.write("Look.cube");
        tree.write("a.cube.bak");

        EffectTreeModel model;
        QAbstractItemModelTester tester(&model, QAbstractItemModelTester::FailureReportingMode::QtTest);
        const QString text = QString::fromStdString(tree.top()) + "/";
        const QModelIndex root = model.addRoot(text);
        QSignalSpy inserted(&model, &QAbstractItemModel::rowsInserted);
        model.AnalyseRepertoire(root, teintelle::searchPathFor(tree.top()));

        QCOMPARE(inserted.size(), 1);
        QCOMPARE(inserted[0][0].value<QModelIndex>(), root);
        QCOMPARE(inserted[0][1].toInt(), 0);
        QCOMPARE(inserted[0][2].toInt(), 3);

        QCOMPARE(model.rowCount(), 1);
        QCOMPARE(model.rootIndex(), root);
        QCOMPARE(root.data().toString(), text);
        QCOMPARE(model.kind(root), NodeKind::Root);
        QCOMPARE(childTexts(model, root), (QStringList{"a.cube.bak", "films.cube", "Look.cube", "vide"}));
        const QModelIndex films = model.index(1, 0, root);
        QCOMPARE(model.kind(films), NodeKind::Folder);
        QCOMPARE(model.kind(model.index(0, 0, root)), NodeKind::Effect);
        QCOMPARE(childTexts(model, films), QStringList{"Noir.CUBE"});
        QCOMPARE(model.rowCount(model.index(3, 0, root)), 0);

        // Every node may be edited in place; the tree never sorts.
        QVERIFY(model.flags(films) & Qt::ItemIsEditable);
        QVERIFY(model.flags(root) & Qt::ItemIsEditable);

        model.clear();
        QCOMPARE(model.rowCount(), 0);
        QVERIFY(!model.rootIndex().isValid());
        QCOMPARE(model.CheminDuNoeud(films), std::string());
    }

    void nodePathFollowsTheRootTextAndEdits()
    {
        TempFolder tree;
        tree.folder("films");
        tree.folder("films/noir");
        tree.write("films/noir/a.cube", "A");
        tree.folder("autre");
        tree.folder("autre/noir");
        tree.write("autre/noir/a.cube", "B");

        EffectTreeModel model;
        const std::string& top = tree.top();
        for (const std::string& rootText : {top, top + "/"}) {
            const QModelIndex root = build(model, QString::fromStdString(rootText));
            const QModelIndex films = model.index(1, 0, root);
            QCOMPARE(films.data().toString(), QString("films"));
            const QModelIndex effect = model.index(0, 0, model.index(0, 0, films));
            const std::string separator = rootText.back() == '/' ? "//" : "/";
            QCOMPARE(model.CheminDuNoeud(root), rootText);
            QCOMPARE(model.CheminDuNoeud(effect), top + separator + "films/noir/a.cube");
            QCOMPARE(firstByteAt(model.CheminDuNoeud(effect)), int('A'));

            // Renaming a folder moves the path of every node below it.
            QSignalSpy changed(&model, &QAbstractItemModel::dataChanged);
            QVERIFY(model.setData(films, QString("autre")));
            QCOMPARE(changed.size(), 1);
            QCOMPARE(films.data().toString(), QString("autre"));
            QCOMPARE(model.CheminDuNoeud(effect), top + separator + "autre/noir/a.cube");
            QCOMPARE(firstByteAt(model.CheminDuNoeud(effect)), int('B'));
            QVERIFY(!model.setData(films, QString("x"), Qt::DisplayRole));
        }
    }

    void oddNamesShowAsTheyCanAndLeadToTheirFiles()
    {
        TempFolder tree;
        const std::string latin1 = "\xe9t\xe9.cube"; // not UTF-8
        const std::string lineBreak = "deux\nlignes.cube";
        tree.write(latin1, "L");
        tree.write(lineBreak, "N");

        EffectTreeModel model;
        const QModelIndex root = build(model, QString::fromStdString(tree.top()));
        QCOMPARE(model.rowCount(root), 2);
        const QModelIndex twoLines = model.index(0, 0, root);
        const QModelIndex broken = model.index(1, 0, root);
        QCOMPARE(twoLines.data().toString(), QString("deux\u240Alignes.cube"));
        const QString shown = broken.data().toString();
        QVERIFY(shown.endsWith("t\uFFFD.cube") || shown.endsWith("t\u00e9.cube"));

        QCOMPARE(model.CheminDuNoeud(broken), tree.top() + "/" + latin1);
        QCOMPARE(firstByteAt(model.CheminDuNoeud(broken)), int('L'));
        QCOMPARE(firstByteAt(model.CheminDuNoeud(twoLines)), int('N'));

        // Confirming an edit without changing the text keeps the bytes.
        QVERIFY(model.setData(broken, shown));
        QCOMPARE(firstByteAt(model.CheminDuNoeud(broken)), int('L'));
        QVERIFY(model.setData(twoLines, twoLines.data(Qt::EditRole)));
        QCOMPARE(firstByteAt(model.CheminDuNoeud(twoLines)), int('N'));
        QVERIFY(teintelle::isEffectPath(model.CheminDuNoeud(broken)));
    }

    void iconsFollowKindAndSelection()
    {
        TempFolder tree;
        tree.folder("dossier");
        tree.write("effet.cube");

        EffectTreeModel model;
        const QList<QIcon> icons{plainIcon(Qt::white), plainIcon(Qt::yellow), plainIcon(Qt::green)};
        model.setIcons(icons);
        const QModelIndex root = build(model, QString::fromStdString(tree.top()));
        const QModelIndex folder = model.index(0, 0, root);
        const QModelIndex effect = model.index(1, 0, root);
        auto image = [&](const QModelIndex& index) {
            const qint64 key = index.data(Qt::DecorationRole).value<QIcon>().cacheKey();
            for (int i = 0; i < icons.size(); ++i)
                if (icons[i].cacheKey() == key)
                    return i;
            return -1;
        };
        QCOMPARE(image(root), 1);
        QCOMPARE(image(folder), 1);
        QCOMPARE(image(effect), 0);

        // Driven by a real view's selection.
        QTreeView view;
        view.setModel(&model);
        model.followSelection(view.selectionModel());
        QSignalSpy changed(&model, &QAbstractItemModel::dataChanged);
        view.setCurrentIndex(root);
        QCOMPARE(image(root), 2);
        QCOMPARE(changed.size(), 1);
        view.expand(root);
        view.setCurrentIndex(folder);
        QCOMPARE(image(root), 1);
        QCOMPARE(image(folder), 2);
        view.setCurrentIndex(effect);
        QCOMPARE(image(folder), 1);
        QCOMPARE(image(effect), 0);
        view.setCurrentIndex(folder);
        model.clear();
        const QModelIndex again = build(model, QString::fromStdString(tree.top()));
        QCOMPARE(image(again), 1);
    }

    void refusedNodeStopsTheScanAndKeepsWhatCame()
    {
        EffectTreeModel model;
        model.setNodeLimit(3); // the root and two more
        scanEndsWithTheInsertErrorAfterTwoNodes(model);
    }

    void scanBudgetEndsTheScanAsARefusedNode()
    {
        EffectTreeModel model;
        model.setScanBudget(2);
        scanEndsWithTheInsertErrorAfterTwoNodes(model);
    }

    // The stop check may let the views paint and the user act: they see the
    // tree as it was before the scan, and a tree emptied and built again
    // there is left alone by the scan that was running.
    void stopCheckSeesTheFormerRowsAndMayRebuildTheTree()
    {
        TempFolder tree;
        for (const char* folder : {"a", "b", "c", "autre"})
            tree.folder(folder);
        tree.write("a/un.cube");
        tree.write("b/deux.cube");
        tree.write("autre/seul.cube");
        const QString top = QString::fromStdString(tree.top());

        EffectTreeModel model;
        model.setFolderOpener(openSlowly);
        QAbstractItemModelTester tester(&model, QAbstractItemModelTester::FailureReportingMode::QtTest);
        QTreeView view;
        view.setModel(&model);
        const QModelIndex root = model.addRoot(top);
        QSignalSpy inserted(&model, &QAbstractItemModel::rowsInserted);
        int asked = 0;
        const auto stopAtSecond = [&] {
            view.expandAll();
            if (model.rowCount(root) != 0)
                return true; // rows reached the views before the end: caught below
            return ++asked == 2;
        };
        QCOMPARE(model.AnalyseRepertoire(root, teintelle::searchPathFor(tree.top()), [&] {
            QCoreApplication::processEvents();
            return stopAtSecond();
        }) == teintelle::ScanEnd::Stopped, true);
        QCOMPARE(asked, 2);
        QCOMPARE(inserted.size(), 1); // what came reaches the views at the end
        QVERIFY(model.rowCount(root) >= 1 && model.rowCount(root) < 4);

        // Emptied and built again from the check: the first scan stops and
        // leaves the new tree as it is.
        const QModelIndex first = model.addRoot(top);
        QModelIndex second;
        bool rebuilt = false;
        const teintelle::ScanEnd end =
            model.AnalyseRepertoire(first, teintelle::searchPathFor(tree.top()), [&] {
                if (!rebuilt) {
                    rebuilt = true;
                    second = build(model, top + "/autre");
                }
                return false;
            });
        QCOMPARE(end == teintelle::ScanEnd::Stopped, true);
        QCOMPARE(model.rowCount(), 1);
        QCOMPARE(model.rootIndex(), second);
        QCOMPARE(second.data().toString(), top + "/autre");
        QCOMPARE(childTexts(model, second), QStringList{"seul.cube"});
    }

    void unreadableFolderKeepsItsNode()
    {
        TempFolder tree;
        tree.folder("ferme");
        tree.write("ferme/cache.cube");
        tree.write("ouvert.cube");
        EffectTreeModel model;
        model.setFolderOpener([](int at, const char* name) {
            if (std::string_view(name) == "ferme") {
                errno = EACCES;
                return -1;
            }
            return teintelle::openFolder(at, name);
        });
        const QModelIndex root = build(model, QString::fromStdString(tree.top()));
        QCOMPARE(childTexts(model, root), (QStringList{"ferme", "ouvert.cube"}));
        QCOMPARE(model.rowCount(model.index(0, 0, root)), 0);
    }

    void textNamingNoFolderGivesTheRootAlone()
    {
        TempFolder tree;
        tree.write("seul.cube");
        EffectTreeModel model;
        for (const std::string& text : {tree.path("seul.cube"), tree.path("absent")}) {
            const QModelIndex root = build(model, QString::fromStdString(text));
            QCOMPARE(model.rowCount(), 1);
            QCOMPARE(model.rowCount(root), 0);
            QCOMPARE(model.CheminDuNoeud(root), text);
        }
    }

    void dialogStartFolderRule()
    {
        TempFolder tree;
        tree.folder("choisi");
        tree.write("fichier");
        const QString top = QString::fromStdString(tree.top());
        const QString chosen = QString::fromStdString(tree.path("choisi"));
        const QString missing = QString::fromStdString(tree.path("absent"));
        const QString file = QString::fromStdString(tree.path("fichier"));
        struct Case {
            QString field, last, expected;
        };
        for (const Case& c : {Case{top, chosen, top}, Case{top + "/", {}, top + "/"}, Case{{}, chosen, chosen},
                              Case{{}, {}, "/"}, Case{missing, chosen, "/"}, Case{{}, missing, "/"},
                              Case{file, chosen, "/"}}) {
            QCOMPARE(teintelle::dialogStartFolder(c.field, c.last), c.expected);
        }
    }
};

QTEST_MAIN(EffectTreeModelTest)
#include "EffectTreeModel_test.moc"
