// The effect folder field, the effect tree and the effect selection, driven
// through the window on folder trees the test builds.
#include "WindowFixture.h"

#include "window/TFen_Teintelle.h"
#include "window/Widgets.h"
#include "window/TImage32.h"
#include "window/EffectTreeModel.h"
#include "lut/AppliqueLut.h"
#include "lut/CubeReader.h"

#include <QAction>
#include <QDir>
#include <QFile>
#include <QKeyEvent>
#include <QLabel>
#include <QTemporaryDir>
#include <QTest>
#include <QTimer>
#include <QTreeView>

#include <chrono>
#include <memory>
#include <thread>

using namespace teintelle;
using namespace teintelle::testing;

class WindowEffectsTest : public QObject, private WindowFixture {
    Q_OBJECT

    std::unique_ptr<QTemporaryDir> effects;

    QString effect(const QString& relative) const { return effects->filePath(relative); }

    // A small photo straight into the source view: every colour channel varies.
    static void putPhoto(TFen_Teintelle& window)
    {
        TBitmap32& photo = window.Image321->Bitmap();
        photo.SetSize(16, 8);
        for (int y = 0; y < 8; ++y)
            for (int x = 0; x < 16; ++x)
                photo.pixel(x, y) = couleur32(0xFF, std::uint8_t(x * 16), std::uint8_t(y * 32), std::uint8_t(x * y));
    }

private slots:
    void init()
    {
        freshProgramFolder();
        effects = std::make_unique<QTemporaryDir>();
        writeFile(effect("Look.cube"), cube2(true));
        writeFile(effect("LOOK.CUBE"), cube2(false));
        writeFile(effect("a.cube.bak"), cube2(true));
        writeFile(effect("c.txt"), "text");
        writeFile(effect("Films/Noir.cube"), cube2(true));
        writeFile(effect("films.cube/Inside.cube"), cube2(true));
        writeFile(effect("Broken.cube"), "LUT_3D_SIZE 2\n" + QByteArray("1 2 3\n").repeated(25));
        writeFile(effect("NoSize.cube"), QByteArray(30, '\n'));
        QDir().mkpath(effect(".hidden"));
        QDir().mkpath(effect("Empty"));
    }

    void startUpScansTheProgramFolder()
    {
        writeFile(programFolder->filePath("Start.cube"), cube2(true));
        auto window = makeWindow();
        QCOMPARE(window->effectTree().rowCount(), 1);
        QCOMPARE(QModelIndex(window->NoeudRacine).data().toString(), programFolder->path() + "/");
        QVERIFY(childTexts(window->effectTree(), window->NoeudRacine).contains("Start.cube"));
        QVERIFY(!window->TreeView1->isExpanded(window->NoeudRacine));
        QCOMPARE(window->Label_Infos->text(), QStringLiteral("..."));
    }

    void fieldTextBuildsTheTreeWithAndWithoutFinalSeparator()
    {
        auto window = makeWindow();
        for (const QString& text : {effects->path(), effects->path() + "/"}) {
            window->RepertoireFichiersCube->setText(text);
            QCOMPARE(QModelIndex(window->NoeudRacine).data().toString(), text);
            QCOMPARE(childTexts(window->effectTree(), window->NoeudRacine),
                     QStringList({"a.cube.bak", "Broken.cube", "Empty", "Films", "films.cube", "LOOK.CUBE",
                                  "Look.cube", "NoSize.cube"}));
            QCOMPARE(window->Label_Infos->text(), QStringLiteral("..."));
        }
    }

    void aFileOrAMissingFolderGivesTheRootAlone()
    {
        auto window = makeWindow();
        for (const QString& text : {effect("c.txt"), effect("missing"), QStringLiteral("/nonexistent/x")}) {
            window->RepertoireFichiersCube->setText(text);
            QCOMPARE(window->effectTree().rowCount(), 1);
            QCOMPARE(window->effectTree().rowCount(window->NoeudRacine), 0);
        }
    }

    void emptyingTheFieldEmptiesTheTreeAndKeepsTheStatus()
    {
        auto window = makeWindow();
        putPhoto(*window);
        window->RepertoireFichiersCube->setText(effects->path());
        selectEffect(*window, {"Look.cube"});
        QVERIFY(!window->Image322->Bitmap().Empty());
        window->RepertoireFichiersCube->clear();
        QCOMPARE(window->effectTree().rowCount(), 0);
        QVERIFY(!window->NoeudRacine.isValid());
        QCOMPARE(window->Label_Infos->text(), QStringLiteral("..."));
        QVERIFY2(!window->Image322->Bitmap().Empty(), "the views stay as they were");
        QVERIFY(window->Bt_SansEffet->isEnabled());
    }

    void aChangeDuringTheScanEndsWithTheTreeOfTheLastText()
    {
        auto window = makeWindow();
        // Runs while the first change lets pending events through.
        QTimer::singleShot(0, window.get(), [&] { window->RepertoireFichiersCube->setText(effect("Films")); });
        window->RepertoireFichiersCube->setText(effects->path());
        QCOMPARE(window->effectTree().rowCount(), 1);
        QCOMPARE(QModelIndex(window->NoeudRacine).data().toString(), effect("Films"));
        QCOMPARE(childTexts(window->effectTree(), window->NoeudRacine), QStringList({"Noir.cube"}));
    }

    // A scan of a slow folder lets the window handle its events; a change of
    // the field meanwhile stops it, and the handling goes on with the new text.
    void aChangeDuringTheScanStopsIt_data()
    {
        QTest::addColumn<QString>("change");
        QTest::addColumn<QString>("rootText"); // empty: no tree
        QTest::addColumn<int>("rows");
        QTest::newRow("key typed") << "Backspace" << "Lent" << 20;
        QTest::newRow("text set") << "Films" << "Films" << 1;
        QTest::newRow("emptied") << "" << "" << 0;
    }

    void aChangeDuringTheScanStopsIt()
    {
        QFETCH(QString, change);
        QFETCH(QString, rootText);
        QFETCH(int, rows);
        for (int i = 0; i < 20; ++i)
            QVERIFY(QDir().mkpath(effect(QStringLiteral("Lent/d%1").arg(i))));
        auto window = makeWindow();
        PathEdit* field = window->RepertoireFichiersCube;
        int opened = 0;
        window->effectTree().setFolderOpener([&](int at, const char* name) {
            if (++opened == 1) {
                if (change == "Backspace")
                    QCoreApplication::postEvent(field, new QKeyEvent(QEvent::KeyPress, Qt::Key_Backspace, Qt::NoModifier));
                else
                    QMetaObject::invokeMethod(field, [&, change] { field->setText(change.isEmpty() ? QString() : effect(change)); },
                                              Qt::QueuedConnection);
            }
            std::this_thread::sleep_for(std::chrono::milliseconds(25)); // a slow disk
            return openFolder(at, name);
        });
        int openedAtChange = -1;
        connect(field, &QLineEdit::textChanged, this, [&] {
            if (openedAtChange < 0)
                openedAtChange = opened;
        });
        field->setText(effect("Lent/"));
        QVERIFY(openedAtChange > 0);
        QVERIFY2(openedAtChange < 21, "the first scan opened every folder");
        QVERIFY(dialogs.errors.isEmpty());
        QCOMPARE(window->Label_Infos->text(), QStringLiteral("..."));
        if (rootText.isEmpty()) {
            QCOMPARE(window->effectTree().rowCount(), 0);
            QVERIFY(!window->NoeudRacine.isValid());
            return;
        }
        QCOMPARE(window->effectTree().rowCount(), 1);
        QCOMPARE(QModelIndex(window->NoeudRacine).data().toString(), effect(rootText));
        QCOMPARE(window->effectTree().rowCount(window->NoeudRacine), rows);
    }

    void closingDuringTheScanStopsIt()
    {
        for (int i = 0; i < 20; ++i)
            QVERIFY(QDir().mkpath(effect(QStringLiteral("Lent/d%1").arg(i))));
        auto window = makeWindow();
        window->show();
        QVERIFY(QTest::qWaitForWindowExposed(window.get()));
        int opened = 0;
        window->effectTree().setFolderOpener([&](int at, const char* name) {
            if (++opened == 1)
                QMetaObject::invokeMethod(window->Bt_Fermer, &QPushButton::click, Qt::QueuedConnection);
            std::this_thread::sleep_for(std::chrono::milliseconds(25));
            return openFolder(at, name);
        });
        window->RepertoireFichiersCube->setText(effect("Lent"));
        QVERIFY(!window->isVisible());
        QVERIFY2(opened < 21, "the scan went on after the window closed");
        QCOMPARE(window->Label_Infos->text(), QStringLiteral("..."));
        QVERIFY(dialogs.errors.isEmpty());
    }

    // Two links in every folder to the next one: without a bound the tree
    // below the program's folder would double at each of sixteen levels.
    void aMazeOfLinksBesideTheProgramEndsWithTheInsertError()
    {
        for (int level = 0; level < 16; ++level) {
            const QString folder = programFolder->filePath(QStringLiteral("L%1").arg(level));
            for (int e = 0; e < 30; ++e)
                writeFile(folder + QStringLiteral("/e%1.cube").arg(e), cube2(false));
            if (level > 0)
                for (const char* name : {"/a", "/b"})
                    QVERIFY(QFile::link(QStringLiteral("../L%1").arg(level),
                                        programFolder->filePath(QStringLiteral("L%1").arg(level - 1)) + name));
        }
        auto window = makeWindow();
        QCOMPARE(dialogs.errors, QStringList("Impossible d'insérer un élément."));
        QCOMPARE(window->Label_Infos->text(), QStringLiteral("Analyse du répertoire et des sous-répertoires"));
        QCOMPARE(childTexts(window->effectTree(), window->NoeudRacine), QStringList{"L0"});
    }

    void selectingAnEffectAppliesItToTheSourcePhoto()
    {
        auto window = makeWindow();
        putPhoto(*window);
        window->RepertoireFichiersCube->setText(effects->path());
        selectEffect(*window, {"Look.cube"});
        QVERIFY(dialogs.errors.isEmpty() && dialogs.notices.isEmpty());
        QVERIFY(window->Bt_SansEffet->isEnabled());
        QCOMPARE(window->TailleTableLut, 2);
        const TBitmap32& shown = window->Image322->Bitmap();
        QVERIFY(samePixels(shown, *window->imageTraitee()));
        // What the engine gives for the same file and photo.
        LutTable table;
        std::int32_t size = 0;
        QCOMPARE(loadCubeFile(QFile::encodeName(effect("Look.cube")).toStdString(), table, size), CubeStatus::Loaded);
        TBitmap32 expected;
        float coef = 0;
        teintelle::AppliqueLut(window->Image321->Bitmap(), expected, table, size, coef);
        QVERIFY(samePixels(shown, expected));
        QVERIFY(!samePixels(shown, window->Image321->Bitmap()));
        QVERIFY(QGuiApplication::overrideCursor() == nullptr);
    }

    void walkingWithTheArrowKeysAppliesEachEffectInTurn()
    {
        auto window = makeWindow();
        putPhoto(*window);
        window->RepertoireFichiersCube->setText(effect("Films"));
        window->TreeView1->expand(window->NoeudRacine);
        window->TreeView1->setFocus();
        window->TreeView1->setCurrentIndex(window->NoeudRacine);
        QTest::keyClick(window->TreeView1, Qt::Key_Down);
        QCOMPARE(window->TreeView1->currentIndex().data().toString(), QStringLiteral("Noir.cube"));
        QVERIFY(!window->imageTraitee()->Empty());
        const TColor32 first = window->Image322->Bitmap().pixel(0, 0);

        window->RepertoireFichiersCube->setText(effects->path());
        window->TreeView1->expand(window->NoeudRacine);
        selectEffect(*window, {"LOOK.CUBE"});
        QTest::keyClick(window->TreeView1, Qt::Key_Down); // Look.cube, the inverting one
        QCOMPARE(window->TreeView1->currentIndex().data().toString(), QStringLiteral("Look.cube"));
        QCOMPARE(window->Image322->Bitmap().pixel(0, 0), first);
        QTest::keyClick(window->TreeView1, Qt::Key_Up); // back to the identity
        QCOMPARE(window->Image322->Bitmap().pixel(0, 0), window->Image321->Bitmap().pixel(0, 0));
    }

    void nodesThatAreNoEffectsChangeNothingOrOnlyTheButton()
    {
        auto window = makeWindow();
        putPhoto(*window);
        window->RepertoireFichiersCube->setText(effects->path());
        for (const char* name : {"a.cube.bak", "Films"}) {
            selectEffect(*window, {name});
            QVERIFY(!window->Bt_SansEffet->isEnabled());
        }
        window->TreeView1->setCurrentIndex(window->NoeudRacine);
        QVERIFY(!window->Bt_SansEffet->isEnabled());
        // A folder whose name ends with ".cube": an effect path that names no file.
        selectEffect(*window, {"films.cube"});
        QVERIFY(window->Bt_SansEffet->isEnabled());
        QVERIFY(window->Image322->Bitmap().Empty());
        QVERIFY(dialogs.errors.isEmpty() && dialogs.notices.isEmpty());
    }

    void malformedEffectsAreReportedAndChangeNoView()
    {
        auto window = makeWindow();
        putPhoto(*window);
        window->RepertoireFichiersCube->setText(effects->path());
        selectEffect(*window, {"Broken.cube"});
        QCOMPARE(dialogs.notices,
                 QStringList("Erreur dans la structure du fichier. Impossible de trouver les données de la table."));
        QCOMPARE(dialogs.lastTitle, QStringLiteral("Teintelle"));
        QVERIFY(window->Bt_SansEffet->isEnabled());
        QVERIFY(window->Image322->Bitmap().Empty());

        selectEffect(*window, {"NoSize.cube"});
        QCOMPARE(dialogs.notices.last(),
                 QStringLiteral("Erreur dans la structure du fichier. Impossible de déterminer la taille de la table."));
        QCOMPARE(window->TailleTableLut, 0);

        // A raised error reaches the error box; the cursor was never changed.
        writeFile(effect("Short.cube"), "LUT_3D_SIZE 2\n0.0 0.0 0.0\n");
        window->RepertoireFichiersCube->setText(effects->path() + "/");
        writeFile(effect("Short.cube"), "a\nb\nc\nd\ne\n");
        selectEffect(*window, {"Short.cube"});
        QCOMPARE(dialogs.errors, QStringList("Index de liste hors limites (5)"));
        QVERIFY(QGuiApplication::overrideCursor() == nullptr);
        QVERIFY(window->Image322->Bitmap().Empty());
    }

    void aSelectionWithNoPhotoStillReadsTheTable()
    {
        auto window = makeWindow();
        window->RepertoireFichiersCube->setText(effects->path());
        selectEffect(*window, {"Look.cube"});
        QCOMPARE(window->TailleTableLut, 2);
        QVERIFY(window->Image322->Bitmap().Empty());
        QVERIFY(dialogs.errors.isEmpty());
    }

    void editingANodeTextChangesThePathOfItAndItsChildren()
    {
        auto window = makeWindow();
        putPhoto(*window);
        writeFile(effect("Other/Noir.cube"), "LUT_3D_SIZE 2\n" + QByteArray("x\n").repeated(25));
        window->RepertoireFichiersCube->setText(effects->path());
        const QModelIndex films = effectNode(*window, {"Films"});
        QVERIFY(window->effectTree().setData(films, QStringLiteral("Other")));
        selectEffect(*window, {"Other", "Noir.cube"});
        // The file under the edited folder name was the one read.
        QCOMPARE(dialogs.notices.size(), 1);
    }

    void folderDialogReplacesTheTextOrChangesNothing()
    {
        auto window = makeWindow();
        QAction* browse = window->RepertoireFichiersCube->findChild<QAction*>("RepertoireFichiersCube_Parcourir");
        QVERIFY(browse);
        const QString before = window->RepertoireFichiersCube->text();
        browse->trigger();
        QCOMPARE(dialogs.folderDialogs, 1);
        QCOMPARE(dialogs.lastFolderStart, before);
        QCOMPARE(window->RepertoireFichiersCube->text(), before);

        dialogs.folderAnswer = effect("Films");
        window->RepertoireFichiersCube->setFocus();
        QTest::keyClick(window->RepertoireFichiersCube, Qt::Key_Down, Qt::AltModifier);
        QCOMPARE(dialogs.folderDialogs, 2);
        QCOMPARE(window->RepertoireFichiersCube->text(), effect("Films"));
        QCOMPARE(childTexts(window->effectTree(), window->NoeudRacine), QStringList({"Noir.cube"}));

        window->RepertoireFichiersCube->clear();
        dialogs.folderAnswer.reset();
        browse->trigger();
        // An empty field starts on the last folder chosen.
        QCOMPARE(dialogs.lastFolderStart, effect("Films"));
    }

    void droppedFilesAreRefusedByTheFolderField()
    {
        auto window = makeWindow();
        QVERIFY(!window->RepertoireFichiersCube->acceptDrops());
        QVERIFY(window->FichierImage->acceptDrops());
    }
};

QTEST_MAIN(WindowEffectsTest)
#include "WindowEffects_test.moc"
