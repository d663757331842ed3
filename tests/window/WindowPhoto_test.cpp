// The photo field, the compare button, the cancel and the settings file,
// driven through the main window on the offscreen platform as a user drives
// them, and read back from the views' surfaces, the labels and the boxes.
#include "WindowFixture.h"

#include "window/TFen_Teintelle.h"
#include "window/Theme.h"
#include "window/Widgets.h"
#include "imaging/PhotoFixtures.h"
#include "window/TImage32.h"
#include "window/EffectTreeModel.h"
#include "lut/LutMessages.h"
#include "export/PhotoExport.h"
#include "lut/CubeReader.h"

#include <QAction>
#include <QAbstractItemView>
#include <QApplication>
#include <QCompleter>
#include <QDir>
#include <QEnterEvent>
#include <QFile>
#include <QFileInfo>
#include <QLabel>
#include <QMimeData>
#include <QStringListModel>
#include <QTemporaryDir>
#include <QTest>
#include <QTreeView>
#include <QUrl>

#include <algorithm>
#include <memory>

#include <sys/stat.h>

using namespace teintelle;
using namespace teintelle::testing;

namespace {

// A 2 x 2 x 2 table that turns (r, g, b) into (g, b, r): every picture with
// colour comes out changed. Its first entry starts with "0." as a data line
// must.
const QByteArray kRotatingCube = "TITLE \"rotation\"\nLUT_3D_SIZE 2\n"
                                 "0.0 0.0 0.0\n0.0 0.0 1.0\n1.0 0.0 0.0\n1.0 0.0 1.0\n"
                                 "0.0 1.0 0.0\n0.0 1.0 1.0\n1.0 1.0 0.0\n1.0 1.0 1.0\n";
// No size line in a head of more than 20 lines: reading it shows the
// structure notice and loads nothing.
const QByteArray kBrokenCube = QByteArray("TITLE \"sans taille\"\n") + QByteArray("# commentaire\n").repeated(24);

} // namespace

class WindowPhotoTest : public QObject, private WindowFixture {
    Q_OBJECT

    std::unique_ptr<QTemporaryDir> photoFolder;

    // A JPEG of the fixtures' picture in the photo folder; returns its path.
    QString jpeg(const QString& name, int width, int height)
    {
        QString path = photoFolder->filePath(name);
        writeFile(path, fixtures::encodeJpeg({.width = width, .height = height}));
        return path;
    }

    QString effect(const QString& name, const QByteArray& content)
    {
        QString path = programFolder->filePath(name);
        writeFile(path, content);
        return path;
    }

    static void pointerEntersCompareButton(TFen_Teintelle& window)
    {
        QEnterEvent enter(QPointF(4, 4), QPointF(4, 4), window.Bt_SansEffet->mapToGlobal(QPointF(4, 4)));
        QApplication::sendEvent(window.Bt_SansEffet, &enter);
    }

    static void pointerLeavesCompareButton(TFen_Teintelle& window)
    {
        QEvent leave(QEvent::Leave);
        QApplication::sendEvent(window.Bt_SansEffet, &leave);
    }

    // A movement with no button pressed, at `at` inside the button.
    static void pointerMovesOverCompareButton(TFen_Teintelle& window, QPointF at)
    {
        QMouseEvent move(QEvent::MouseMove, at, window.Bt_SansEffet->mapToGlobal(at), Qt::NoButton, Qt::NoButton,
                         Qt::NoModifier);
        QApplication::sendEvent(window.Bt_SansEffet, &move);
    }

    static const TBitmap32& large(TFen_Teintelle& window) { return window.Image322->Bitmap(); }
    static const TBitmap32& small(TFen_Teintelle& window) { return window.Image321->Bitmap(); }

private slots:
    void initTestCase() { QVERIFY(activateTheme(*qApp, kThemeName)); }

    void init()
    {
        freshProgramFolder();
        photoFolder = std::make_unique<QTemporaryDir>();
        QVERIFY(programFolder->isValid() && photoFolder->isValid());
    }

    // ---- The photo field -------------------------------------------------

    void photoSizeLabelAndThreshold_data()
    {
        QTest::addColumn<QString>("name");
        QTest::addColumn<QSize>("photo");
        QTest::addColumn<QSize>("quarter");
        QTest::addColumn<QString>("label");
        QTest::addColumn<int>("resolution");
        QTest::addColumn<bool>("largeIsQuarter");
        QTest::newRow("3996 wide: full size") << "a.jpg" << QSize(3996, 8) << QSize(999, 2)
                                              << "Photo 3996 x 8 pixels." << 1 << false;
        QTest::newRow("3997 wide: quarter") << "b.jpg" << QSize(3997, 8) << QSize(1000, 2)
                                            << "Photo 4000 x 8 pixels." << 4 << true;
        QTest::newRow("4001 x 9 labelled 4004 x 12") << "c.jpeg" << QSize(4001, 9) << QSize(1001, 3)
                                                     << "Photo 4004 x 12 pixels." << 4 << true;
        QTest::newRow("3997 high: quarter") << "d.jpg" << QSize(8, 3997) << QSize(2, 1000)
                                            << "Photo 8 x 4000 pixels." << 4 << true;
        QTest::newRow("3996 high: full size") << "e.jpg" << QSize(8, 3996) << QSize(2, 999)
                                              << "Photo 8 x 3996 pixels." << 1 << false;
        QTest::newRow("capital extension") << "F.JPG" << QSize(41, 23) << QSize(11, 6)
                                           << "Photo 41 x 23 pixels." << 1 << false;
    }

    void photoSizeLabelAndThreshold()
    {
        QFETCH(QString, name);
        QFETCH(QSize, photo);
        QFETCH(QSize, quarter);
        QFETCH(QString, label);
        QFETCH(int, resolution);
        QFETCH(bool, largeIsQuarter);
        auto window = makeWindow();
        window->FichierImage->setText(jpeg(name, photo.width(), photo.height()));
        QCOMPARE(QSize(small(*window).Width(), small(*window).Height()), quarter);
        QCOMPARE(window->Label3->text(), label);
        QCOMPARE(window->ResolutionChargee, resolution);
        if (largeIsQuarter)
            QVERIFY(samePixels(large(*window), small(*window)));
        else
            QCOMPARE(QSize(large(*window).Width(), large(*window).Height()), photo);
        QVERIFY(dialogs.errors.isEmpty());
    }

    void bmpAsFirstPhoto_data()
    {
        QTest::addColumn<int>("bitsPerPixel");
        QTest::newRow("32 bits, read directly") << 32;
        QTest::newRow("24 bits, platform decoder") << 24;
    }

    void bmpAsFirstPhoto()
    {
        QFETCH(int, bitsPerPixel);
        auto window = makeWindow();
        const QString path = photoFolder->filePath(QStringLiteral("image.bmp"));
        writeFile(path, bitsPerPixel == 32 ? fixtures::bmp32(5, 3, true) : fixtures::bmp24(5, 3));
        window->FichierImage->setText(path);
        QVERIFY2(dialogs.errors.isEmpty(), qPrintable(dialogs.errors.join(QLatin1Char('|'))));
        QVERIFY(small(*window).Empty());
        QCOMPARE(window->Label3->text(), QStringLiteral("Photo 5 x 3 pixels."));
        QCOMPARE(window->ResolutionChargee, 1);
        QCOMPARE(large(*window).Width(), 5);
        QCOMPARE(large(*window).Height(), 3);
        for (int y = 0; y < 3; ++y)
            for (int x = 0; x < 5; ++x)
                QCOMPARE(large(*window).pixel(x, y) & 0xFFFFFFu, fixtures::bmpPixel(x, y) & 0xFFFFFFu);
    }

    // The quarter picture stays the source; the large view falls back on it
    // when the file cannot be decoded at a quarter of its size.
    void nonJpegAfterALargeJpegShowsItsQuarterPicture()
    {
        auto window = makeWindow();
        window->FichierImage->setText(jpeg(QStringLiteral("grande.jpg"), 3997, 8));
        const QString path = photoFolder->filePath(QStringLiteral("image.bmp"));
        writeFile(path, fixtures::bmp32(5, 3, false));
        window->FichierImage->setText(path);
        QCOMPARE(window->Label3->text(), QStringLiteral("Photo 1000 x 2 pixels."));
        QCOMPARE(window->ResolutionChargee, 1);
        QCOMPARE(small(*window).Width(), 1000);
        QVERIFY(samePixels(large(*window), small(*window)));
        QVERIFY(dialogs.errors.isEmpty());
    }

    void jpegWithAnUnregisteredExtension()
    {
        auto window = makeWindow();
        const QString path = photoFolder->filePath(QStringLiteral("photo.JFIF"));
        writeFile(path, fixtures::encodeJpeg({.width = 41, .height = 23}));
        window->FichierImage->setText(path);
        QCOMPARE(dialogs.errors, QStringList(QStringLiteral("Extension de fichier image inconnue (.JFIF)")));
        QCOMPARE(window->Label3->text(), QStringLiteral("Photo 44 x 24 pixels."));
        QCOMPARE(window->ResolutionChargee, 4);
        QCOMPARE(small(*window).Width(), 11);
    }

    void pngAsFirstPhotoGivesTheExtensionError()
    {
        auto window = makeWindow();
        const QString path = photoFolder->filePath(QStringLiteral("image.png"));
        writeFile(path, QByteArray("\x89PNG\r\n\x1a\n", 8) + QByteArray(92, '\0')); // past the 54 header bytes
        window->FichierImage->setText(path);
        QCOMPARE(dialogs.errors, QStringList(QStringLiteral("Extension de fichier image inconnue (.png)")));
        QCOMPARE(dialogs.lastTitle, QStringLiteral("Teintelle"));
        QCOMPARE(window->Label3->text(), QStringLiteral("Photo 0 x 0 pixels."));
        QCOMPARE(window->ResolutionChargee, 1);
        QVERIFY(small(*window).Empty() && large(*window).Empty());
    }

    void suggestionsCloseWhenThePhotoLoads()
    {
        const QString path = jpeg(QStringLiteral("vacances.jpg"), 40, 30);
        jpeg(QStringLiteral("valise.jpg"), 40, 30);
        auto window = makeWindow();
        QVERIFY(showActive(*window));
        PathEdit* field = window->FichierImage;
        // The suggestions from a fixed list rather than from the folder,
        // which the field's own model lists in the background.
        auto* paths = new QStringListModel({path, photoFolder->filePath(QStringLiteral("valise.jpg"))}, field);
        field->completer()->setModel(paths);
        field->setFocus();
        const QString prefix = photoFolder->path() + QStringLiteral("/va");
        QTest::keyClicks(field, prefix);
        QAbstractItemView* suggestions = field->completer()->popup();
        QVERIFY(suggestions->isVisible());
        QTest::keyClicks(field, path.mid(prefix.size()));
        QCOMPARE(field->text(), path);
        QCOMPARE(window->Label3->text(), QStringLiteral("Photo 40 x 30 pixels."));
        QTRY_VERIFY(!suggestions->isVisible());

        // Taken from the list: the photo loads and the list closes.
        field->clear();
        QTest::keyClicks(field, prefix);
        QVERIFY(suggestions->isVisible());
        QTest::keyClick(suggestions, Qt::Key_Down);
        QTest::keyClick(suggestions, Qt::Key_Return);
        QVERIFY(field->text().endsWith(QStringLiteral(".jpg")));
        QCOMPARE(window->Label3->text(), QStringLiteral("Photo 40 x 30 pixels."));
        QTRY_VERIFY(!suggestions->isVisible());
        QVERIFY(dialogs.errors.isEmpty());
    }

    void textNamingNoFileDoesNothing_data()
    {
        QTest::addColumn<QString>("text");
        QTest::newRow("missing file") << "%D/absent.jpg";
        QTest::newRow("folder") << "%D";
        QTest::newRow("folder with separator") << "%D/";
        QTest::newRow("beginning of a name") << "%D/pho";
        QTest::newRow("empty") << "";
        QTest::newRow("named pipe, whose reading would block") << "%D/tube.jpg";
        QTest::newRow("device that never ends") << "/dev/zero";
    }

    void textNamingNoFileDoesNothing()
    {
        QFETCH(QString, text);
        QVERIFY(::mkfifo(QFile::encodeName(photoFolder->filePath(QStringLiteral("tube.jpg"))).constData(), 0644) == 0);
        auto window = makeWindow();
        window->FichierImage->setText(jpeg(QStringLiteral("photo.jpg"), 41, 23));
        window->FichierImage->setText(text.replace(QStringLiteral("%D"), photoFolder->path()));
        QCOMPARE(window->FichierImage->text(), text);
        QCOMPARE(window->Label3->text(), QStringLiteral("Photo 41 x 23 pixels."));
        QCOMPARE(window->ResolutionChargee, 1);
        QCOMPARE(large(*window).Width(), 41);
        QCOMPARE(small(*window).Width(), 11);
        QVERIFY(dialogs.errors.isEmpty());
    }

    // The part before the break names a PNG file: every run of the handler
    // for it shows one error box, so the boxes count the runs.
    void lineBreakCutsTheText_data()
    {
        QTest::addColumn<QString>("tail");
        QTest::newRow("LF") << "\nsuite.jpg";
        QTest::newRow("CR") << "\rsuite.jpg";
        QTest::newRow("CR LF") << "\r\n";
        QTest::newRow("LF then CR") << "\n\r/x.jpg";
    }

    void lineBreakCutsTheText()
    {
        QFETCH(QString, tail);
        auto window = makeWindow();
        const QString path = photoFolder->filePath(QStringLiteral("image.png"));
        writeFile(path, QByteArray(64, 'p'));
        window->FichierImage->setText(path + tail);
        QCOMPARE(window->FichierImage->text(), path);
        QCOMPARE(dialogs.errors, QStringList(QStringLiteral("Extension de fichier image inconnue (.png)")));
    }

    void lineBreakFirstLeavesAnEmptyField()
    {
        auto window = makeWindow();
        window->FichierImage->setText(QStringLiteral("\n") + jpeg(QStringLiteral("photo.jpg"), 8, 8));
        QVERIFY(window->FichierImage->text().isEmpty());
        QCOMPARE(window->ResolutionChargee, 0);
        QCOMPARE(window->Label3->text(), QStringLiteral("Photo "));
    }

    void browseStartsFromTheFieldText_data()
    {
        QTest::addColumn<QString>("text");
        QTest::addColumn<QString>("start");
        QTest::addColumn<QString>("preselected");
        QTest::newRow("empty") << "" << "" << "";
        QTest::newRow("file in an existing folder") << "%D/absent.jpg" << "%D" << "absent.jpg";
        QTest::newRow("folder that does not exist") << "%D/nulle/part.jpg" << "" << "%D/nulle/part.jpg";
        for (const char* bad : {"<", ">", "\"", "?", "*", "|"})
            QTest::addRow("unusable %s", bad) << QStringLiteral("%D/a%1.jpg").arg(QLatin1String(bad)) << "" << "";
    }

    void browseStartsFromTheFieldText()
    {
        QFETCH(QString, text);
        QFETCH(QString, start);
        QFETCH(QString, preselected);
        const QString folder = photoFolder->path();
        auto window = makeWindow();
        window->FichierImage->setText(text.replace(QStringLiteral("%D"), folder));
        QAction* browse = browseAction(window->FichierImage);
        QVERIFY(browse != nullptr);
        browse->trigger();
        QCOMPARE(dialogs.fileDialogs, 1);
        QCOMPARE(dialogs.lastFileTitle, QStringLiteral("Browse"));
        QCOMPARE(dialogs.lastFileFilter, QStringLiteral("All files (*.*)"));
        QCOMPARE(dialogs.lastFileStart, start.replace(QStringLiteral("%D"), folder));
        QCOMPARE(dialogs.lastFilePreselected, preselected.replace(QStringLiteral("%D"), folder));
        QCOMPARE(window->FichierImage->text(), text); // cancelled: nothing changes
    }

    void browseConfirmCancelAndFocus()
    {
        auto window = makeWindow();
        QVERIFY(showActive(*window));
        QDir(photoFolder->path()).mkpath(QStringLiteral("mes photos"));
        const QString chosen = jpeg(QStringLiteral("mes photos/un été.jpg"), 41, 23);
        QAction* browse = browseAction(window->FichierImage);
        QVERIFY(browse != nullptr);

        window->Bt_Fermer->setFocus();
        browse->trigger(); // cancelled
        QCOMPARE(QApplication::focusWidget(), window->FichierImage);
        QVERIFY(window->FichierImage->text().isEmpty());
        QCOMPARE(window->ResolutionChargee, 0);

        window->Bt_Fermer->setFocus();
        dialogs.fileAnswer = chosen;
        browse->trigger();
        QCOMPARE(QApplication::focusWidget(), window->FichierImage);
        QCOMPARE(window->FichierImage->text(), chosen); // exactly, spaces and all, no quotes
        QCOMPARE(window->Label3->text(), QStringLiteral("Photo 41 x 23 pixels."));

        // The next browse, from a text that gives no folder, starts where the
        // chosen file lies.
        window->FichierImage->setText(QStringLiteral("*"));
        dialogs.fileAnswer.reset();
        browse->trigger();
        QCOMPARE(dialogs.lastFileStart, photoFolder->filePath(QStringLiteral("mes photos")));
        QVERIFY(dialogs.lastFilePreselected.isEmpty());
        QCOMPARE(window->FichierImage->text(), QStringLiteral("*"));
        QCOMPARE(dialogs.fileDialogs, 3);
        QVERIFY(dialogs.errors.isEmpty());

        // Choosing the file the field already names loads nothing again: a
        // PNG shows its error box once.
        const QString png = photoFolder->filePath(QStringLiteral("image.png"));
        writeFile(png, QByteArray(64, 'p'));
        dialogs.fileAnswer = png;
        browse->trigger();
        browse->trigger();
        QCOMPARE(window->FichierImage->text(), png);
        QCOMPARE(dialogs.errors, QStringList(QStringLiteral("Extension de fichier image inconnue (.png)")));
    }

    void droppedFilesGiveThePathOfTheFirst()
    {
        auto window = makeWindow();
        const QString first = jpeg(QStringLiteral("premiere.jpg"), 41, 23);
        const QString second = jpeg(QStringLiteral("seconde.jpg"), 3997, 8);
        QMimeData files;
        files.setUrls({QUrl::fromLocalFile(first), QUrl::fromLocalFile(second)});
        QDragEnterEvent enter(QPoint(5, 5), Qt::CopyAction, &files, Qt::LeftButton, Qt::NoModifier);
        QApplication::sendEvent(window->FichierImage, &enter);
        QVERIFY(enter.isAccepted());
        QDropEvent drop(QPointF(5, 5), Qt::CopyAction, &files, Qt::LeftButton, Qt::NoModifier);
        QApplication::sendEvent(window->FichierImage, &drop);
        QCOMPARE(window->FichierImage->text(), first);
        QCOMPARE(window->Label3->text(), QStringLiteral("Photo 41 x 23 pixels."));
    }

    // ---- Compare and cancel ----------------------------------------------

    void hoveringBeforeAnyEffectDoesNothing()
    {
        auto window = makeWindow();
        window->show();
        window->FichierImage->setText(jpeg(QStringLiteral("photo.jpg"), 41, 23));
        QVERIFY(!window->Bt_SansEffet->isEnabled());
        pointerEntersCompareButton(*window);
        QCOMPARE(large(*window).Width(), 41); // still the full-size photo
        pointerLeavesCompareButton(*window);
        QCOMPARE(large(*window).Width(), 41);
        pointerMovesOverCompareButton(*window, QPointF(5, 5));
        QCOMPARE(large(*window).Width(), 41);
    }

    void firstEffectThatCannotBeRead()
    {
        effect(QStringLiteral("casse.cube"), kBrokenCube);
        auto window = makeWindow();
        window->show();
        window->FichierImage->setText(jpeg(QStringLiteral("photo.jpg"), 41, 23));
        selectEffect(*window, {QStringLiteral("casse.cube")});
        QCOMPARE(dialogs.notices, QStringList(QString::fromUtf8(lutmsg::kSizeNotFound)));
        QVERIFY(window->Bt_SansEffet->isEnabled());
        QCOMPARE(large(*window).Width(), 41); // unchanged

        pointerEntersCompareButton(*window);
        QVERIFY(samePixels(large(*window), small(*window)));
        pointerLeavesCompareButton(*window);
        QVERIFY(large(*window).Empty()); // the view all grey
        QVERIFY(window->imageTraitee()->Empty());
    }

    void enterAndLeaveSwapPhotoAndProcessedPhoto()
    {
        effect(QStringLiteral("rotation.cube"), kRotatingCube);
        auto window = makeWindow();
        window->show();
        window->FichierImage->setText(jpeg(QStringLiteral("photo.jpg"), 41, 23));
        pointerEntersCompareButton(*window); // still disabled: the pointer rests there
        selectEffect(*window, {QStringLiteral("rotation.cube")});
        const TBitmap32& processed = *window->imageTraitee();
        QVERIFY(samePixels(large(*window), processed));
        pointerMovesOverCompareButton(*window, QPointF(6, 6)); // counts as entering
        QVERIFY(samePixels(large(*window), small(*window)));
        pointerLeavesCompareButton(*window);
        QCOMPARE(processed.Width(), 11);
        QVERIFY(!samePixels(processed, small(*window)));
        QVERIFY(samePixels(large(*window), processed));

        for (int round = 0; round < 2; ++round) {
            pointerEntersCompareButton(*window);
            QVERIFY(samePixels(large(*window), small(*window)));
            pointerLeavesCompareButton(*window);
            QVERIFY(samePixels(large(*window), processed));
        }
        // A movement over the button after a leave counts as entering it.
        pointerMovesOverCompareButton(*window, QPointF(5, 5));
        QVERIFY(samePixels(large(*window), small(*window)));
        pointerLeavesCompareButton(*window);
        QVERIFY(samePixels(large(*window), processed));
    }

    void newPhotoWithoutNewEffect()
    {
        effect(QStringLiteral("rotation.cube"), kRotatingCube);
        auto window = makeWindow();
        window->show();
        window->FichierImage->setText(jpeg(QStringLiteral("premiere.jpg"), 3997, 8));
        selectEffect(*window, {QStringLiteral("rotation.cube")});
        QCOMPARE(window->imageTraitee()->Width(), 1000);

        window->FichierImage->setText(jpeg(QStringLiteral("seconde.jpg"), 4001, 9));
        QCOMPARE(small(*window).Width(), 1001);
        QVERIFY(samePixels(large(*window), small(*window)));
        QVERIFY(window->Bt_SansEffet->isEnabled());
        QCOMPARE(window->imageTraitee()->Width(), 1000); // loading clears nothing

        pointerEntersCompareButton(*window);
        QVERIFY(samePixels(large(*window), small(*window)));
        pointerLeavesCompareButton(*window);
        QCOMPARE(large(*window).Width(), 1000); // the first photo, processed
        QCOMPARE(large(*window).Height(), 2);
        QVERIFY(samePixels(large(*window), *window->imageTraitee()));
    }

    void cancelRestoresThePhoto_data()
    {
        QTest::addColumn<int>("photoWidth");
        QTest::addColumn<bool>("byDoubleClick");
        QTest::addColumn<int>("resolutionAfter");
        QTest::newRow("small photo, cancel button") << 41 << false << 1;
        QTest::newRow("small photo, double click") << 41 << true << 1;
        QTest::newRow("large photo, cancel button") << 3997 << false << 4;
        QTest::newRow("large photo, double click") << 3997 << true << 4;
    }

    void cancelRestoresThePhoto()
    {
        QFETCH(int, photoWidth);
        QFETCH(bool, byDoubleClick);
        QFETCH(int, resolutionAfter);
        effect(QStringLiteral("rotation.cube"), kRotatingCube);
        auto window = makeWindow();
        window->show();
        QVERIFY(QTest::qWaitForWindowExposed(window.get()));
        window->FichierImage->setText(jpeg(QStringLiteral("photo.jpg"), photoWidth, 8));
        const QString label = window->Label3->text();
        selectEffect(*window, {QStringLiteral("rotation.cube")});
        QVERIFY(samePixels(large(*window), *window->imageTraitee()));
        const std::vector<TColor32> processed(window->imageTraitee()->Bits(),
                                              window->imageTraitee()->Bits() + std::ptrdiff_t{2} * window->imageTraitee()->Width());

        if (byDoubleClick)
            QTest::mouseDClick(window->Image322, Qt::LeftButton, {}, QPoint(10, 10));
        else
            QTest::mouseClick(window->Bt_AnnuleEffet, Qt::LeftButton);

        // The small photo comes back at a quarter of its size, not at full size.
        QVERIFY(samePixels(large(*window), small(*window)));
        QCOMPARE(window->ResolutionChargee, resolutionAfter);
        QCOMPARE(window->TreeView1->currentIndex(), QModelIndex(window->NoeudRacine));
        QVERIFY(!window->Bt_SansEffet->isEnabled());
        // Nothing is cleared.
        QVERIFY(std::equal(processed.begin(), processed.end(), window->imageTraitee()->Bits()));
        QCOMPARE(window->Label3->text(), label);
        QCOMPARE(window->TailleTableLut, 2);

        pointerEntersCompareButton(*window); // disabled again: nothing
        pointerLeavesCompareButton(*window);
        QVERIFY(samePixels(large(*window), small(*window)));

        // The same effect selected again applies again.
        selectEffect(*window, {QStringLiteral("rotation.cube")});
        QVERIFY(samePixels(large(*window), *window->imageTraitee()));
        QVERIFY(window->Bt_SansEffet->isEnabled());
        QVERIFY(dialogs.errors.isEmpty() && dialogs.notices.isEmpty());
    }

    // The effect folder field names a .cube file: the root node is that
    // effect, so selecting the root reads it (a notice for the broken table,
    // the processed photo for the readable one).
    void cancelWhileTheRootIsSelectedRunsNoSelection_data()
    {
        QTest::addColumn<bool>("readable");
        QTest::newRow("table that cannot be read") << false;
        QTest::newRow("readable table") << true;
    }

    void cancelWhileTheRootIsSelectedRunsNoSelection()
    {
        QFETCH(bool, readable);
        const QString cube = effect(QStringLiteral("racine.cube"), readable ? kRotatingCube : kBrokenCube);
        auto window = makeWindow();
        window->show();
        window->FichierImage->setText(jpeg(QStringLiteral("photo.jpg"), 41, 8));
        window->RepertoireFichiersCube->setText(cube);
        QVERIFY(window->NoeudRacine.isValid());
        window->TreeView1->setCurrentIndex(QModelIndex());
        const qsizetype noticesBefore = dialogs.notices.size();

        QTest::mouseClick(window->Bt_AnnuleEffet, Qt::LeftButton); // selects the root: applied
        QCOMPARE(window->TreeView1->currentIndex(), QModelIndex(window->NoeudRacine));
        QVERIFY(!window->Bt_SansEffet->isEnabled());
        if (readable) {
            QVERIFY(!window->imageTraitee()->Empty());
            QVERIFY(samePixels(large(*window), *window->imageTraitee()));
        } else {
            QCOMPARE(dialogs.notices.size(), noticesBefore + 1);
        }

        QTest::mouseClick(window->Bt_AnnuleEffet, Qt::LeftButton); // root already selected
        QCOMPARE(dialogs.notices.size(), readable ? noticesBefore : noticesBefore + 1);
        QVERIFY(samePixels(large(*window), small(*window)));
        QVERIFY(!window->Bt_SansEffet->isEnabled());
        QVERIFY(dialogs.errors.isEmpty());
    }

    void doubleClickWithNoEffectApplied_data()
    {
        QTest::addColumn<int>("photoWidth"); // 0: no photo
        QTest::addColumn<int>("resolutionAfter");
        QTest::newRow("large photo") << 3997 << 4;
        QTest::newRow("small photo") << 41 << 1;
        QTest::newRow("no photo") << 0 << 1;
    }

    void doubleClickWithNoEffectApplied()
    {
        QFETCH(int, photoWidth);
        QFETCH(int, resolutionAfter);
        auto window = makeWindow();
        window->show();
        QVERIFY(QTest::qWaitForWindowExposed(window.get()));
        if (photoWidth > 0)
            window->FichierImage->setText(jpeg(QStringLiteral("photo.jpg"), photoWidth, 8));
        window->TreeView1->setCurrentIndex(QModelIndex());
        QTest::mouseDClick(window->Image322, Qt::LeftButton, {}, QPoint(10, 10));
        QVERIFY(samePixels(large(*window), small(*window)));
        QCOMPARE(window->ResolutionChargee, resolutionAfter);
        QVERIFY(window->NoeudRacine.isValid());
        QCOMPARE(window->TreeView1->currentIndex(), QModelIndex(window->NoeudRacine));
        QVERIFY(!window->Bt_SansEffet->isEnabled());
        QVERIFY(dialogs.errors.isEmpty() && dialogs.notices.isEmpty());
    }

    void cancelAfterThePhotoFileWasRemoved()
    {
        effect(QStringLiteral("rotation.cube"), kRotatingCube);
        auto window = makeWindow();
        window->show();
        const QString photo = jpeg(QStringLiteral("photo.jpg"), 3997, 8);
        window->FichierImage->setText(photo);
        selectEffect(*window, {QStringLiteral("rotation.cube")});
        QVERIFY(QFile::remove(photo));
        QTest::mouseClick(window->Bt_AnnuleEffet, Qt::LeftButton);
        QCOMPARE(window->ResolutionChargee, 1);
        QVERIFY(samePixels(large(*window), *window->imageTraitee())); // kept what it showed
        QCOMPARE(window->TreeView1->currentIndex(), QModelIndex(window->NoeudRacine));
        QVERIFY(!window->Bt_SansEffet->isEnabled());
        QVERIFY(dialogs.errors.isEmpty());

        // With ResolutionChargee now 1, the next cancel copies the source.
        QTest::mouseClick(window->Bt_AnnuleEffet, Qt::LeftButton);
        QVERIFY(samePixels(large(*window), small(*window)));
    }

    void cancelAfterTheEffectFolderWasEmptied()
    {
        effect(QStringLiteral("rotation.cube"), kRotatingCube);
        auto window = makeWindow();
        window->show();
        window->FichierImage->setText(jpeg(QStringLiteral("photo.jpg"), 41, 8));
        selectEffect(*window, {QStringLiteral("rotation.cube")});
        window->RepertoireFichiersCube->setText(QString());
        QVERIFY(!window->NoeudRacine.isValid());
        QCOMPARE(window->effectTree().rowCount(), 0);
        QVERIFY(window->Bt_SansEffet->isEnabled()); // emptying the tree leaves it

        QTest::mouseClick(window->Bt_AnnuleEffet, Qt::LeftButton);
        QVERIFY(samePixels(large(*window), small(*window)));
        QVERIFY(!window->TreeView1->currentIndex().isValid());
        QVERIFY(!window->Bt_SansEffet->isEnabled());
        QTest::mouseDClick(window->Image322, Qt::LeftButton, {}, QPoint(10, 10));
        QVERIFY(!window->TreeView1->currentIndex().isValid());
        QVERIFY(dialogs.errors.isEmpty());
    }

    // ---- The settings file -----------------------------------------------

    void firstRunLeavesAnEmptySettingsFile()
    {
        const QString ini = programFolder->filePath(QStringLiteral("Teintelle.ini"));
        QVERIFY(!QFile::exists(ini));
        makeWindow().reset();
        QVERIFY(QFile::exists(ini));
        QCOMPARE(QFileInfo(ini).size(), 0);
        QVERIFY(dialogs.errors.isEmpty());
    }

    void sessionRewritesTheSettingsFile()
    {
        const QString ini = programFolder->filePath(QStringLiteral("Teintelle.ini"));
        const QByteArray original("; R\xC3\xA9glages\r\n"
                                   "orpheline=1\r\n"
                                   "\r\n"
                                   "Seule\r\n"
                                   "[Fenetre]\r\n"
                                   "  Largeur = 800 \t\r\n"
                                   ";Hauteur=600\r\n"
                                   "\tDrapeau\r\n"
                                   "chemin=a = b\r\n"
                                   "\r\n"
                                   "[ Divers ]\r\n"
                                   "x=\r\n"
                                   "nom=Caf\xE9\r\n"
                                   "[FENETRE]\r\n"
                                   "Etat=2");
        writeFile(ini, original);
        const QByteArray expected("[Fenetre]\r\n"
                                  "Largeur=800\r\n"
                                  "Drapeau\r\n"
                                  "chemin=a = b\r\n"
                                  "Etat=2\r\n"
                                  "\r\n"
                                  "[Divers]\r\n"
                                  "x=\r\n"
                                  "nom=Caf\xE9\r\n"
                                  "\r\n");
        QTemporaryDir effects;
        writeFile(effects.filePath(QStringLiteral("rotation.cube")), kRotatingCube);
        const QString photo = jpeg(QStringLiteral("photo.jpg"), 41, 23);
        {
            auto window = makeWindow();
            window->show();
            QVERIFY(QTest::qWaitForWindowExposed(window.get()));
            dialogs.folderAnswer = effects.path();
            browseAction(window->RepertoireFichiersCube)->trigger();
            QCOMPARE(window->RepertoireFichiersCube->text(), effects.path());
            dialogs.fileAnswer = photo;
            browseAction(window->FichierImage)->trigger();
            QCOMPARE(window->ResolutionChargee, 1);
            selectEffect(*window, {QStringLiteral("rotation.cube")});
            pointerEntersCompareButton(*window);
            pointerLeavesCompareButton(*window);
            QTest::mouseClick(window->Bt_AnnuleEffet, Qt::LeftButton);
            window->resize(1000, 600);
            QCOMPARE(readBytes(ini), original); // nothing written during the run
        }
        QCOMPARE(readBytes(ini), expected);

        // The next run starts afresh and leaves the file as it is.
        {
            auto window = makeWindow();
            QCOMPARE(window->size(), QSize(799, 341));
            QVERIFY(window->FichierImage->text().isEmpty());
            QCOMPARE(window->RepertoireFichiersCube->text(), programFolder->path() + QStringLiteral("/"));
        }
        QCOMPARE(readBytes(ini), expected);
        QVERIFY(dialogs.errors.isEmpty() && dialogs.notices.isEmpty());
    }

    // The large view's one menu entry, also Ctrl+S: the shown photo at full
    // size with the effect applied, into the file the dialog gives.
    void theViewsMenuSavesThePhotoWithItsEffect()
    {
        const QString cube = effect(QStringLiteral("Rotation.cube"), kRotatingCube);
        auto window = makeWindow();
        QAction* save = window->exportAction();
        QCOMPARE(save->text(), QStringLiteral("Enregistrer la photo avec l'effet…"));
        QCOMPARE(save->shortcut(), QKeySequence(QStringLiteral("Ctrl+S")));
        QCOMPARE(window->Image322->contextMenuPolicy(), Qt::ActionsContextMenu);
        QCOMPARE(window->Image322->actions(), QList<QAction*>({save}));
        QVERIFY2(!save->isEnabled(), "no photo");
        const QString photo = jpeg(QStringLiteral("plage.jpg"), 301, 203);
        window->FichierImage->setText(photo);
        QVERIFY2(!save->isEnabled(), "no effect applied since the photo was loaded");
        selectEffect(*window, {QStringLiteral("Rotation.cube")});
        QVERIFY(save->isEnabled());

        // Cancelled: nothing written.
        save->trigger();
        QCOMPARE(dialogs.saveDialogs, 1);
        QCOMPARE(dialogs.lastSaveStart, photoFolder->path());
        QCOMPARE(dialogs.lastSaveProposed, QStringLiteral("plage-Rotation.jpg"));
        QCOMPARE(QDir(photoFolder->path()).entryList(QDir::Files | QDir::Hidden), QStringList({"plage.jpg"}));

        dialogs.saveAnswer = photoFolder->filePath(QStringLiteral("plage-Rotation.jpg"));
        window->show();
        QVERIFY(QTest::qWaitForWindowActive(window.get()));
        QTest::keyClick(window->TreeView1, Qt::Key_S, Qt::ControlModifier);
        QCOMPARE(dialogs.saveDialogs, 2);
        QVERIFY2(!save->isEnabled(), "one export at a time");
        QTRY_VERIFY(save->isEnabled());
        QVERIFY(dialogs.errors.isEmpty());

        // What the engine writes for the same photo and effect.
        LutTable table;
        std::int32_t size = 0;
        QCOMPARE(loadCubeFile(QFile::encodeName(cube).toStdString(), table, size), CubeStatus::Loaded);
        const QString expected = photoFolder->filePath(QStringLiteral("attendu.jpg"));
        exportPhoto(QFile::encodeName(photo).toStdString(), QFile::encodeName(expected).toStdString(), table, size,
                    {}, {});
        QCOMPARE(readBytes(*dialogs.saveAnswer), readBytes(expected));

        // Cancelling the effect, or another photo, takes the entry away.
        window->Image322DblClick();
        QVERIFY(!save->isEnabled());
        selectEffect(*window, {QStringLiteral("Rotation.cube")});
        QVERIFY(save->isEnabled());
        window->FichierImage->setText(jpeg(QStringLiteral("autre.jpg"), 40, 30));
        QVERIFY(!save->isEnabled());
    }

    void aFailedSaveShowsTheErrorBox()
    {
        effect(QStringLiteral("Rotation.cube"), kRotatingCube);
        auto window = makeWindow();
        const QString photo = jpeg(QStringLiteral("plage.jpg"), 64, 48);
        const QByteArray before = readBytes(photo);
        window->FichierImage->setText(photo);
        selectEffect(*window, {QStringLiteral("Rotation.cube")});
        for (const QString& answer : {photo, photoFolder->filePath(QStringLiteral("plage.gif"))}) {
            dialogs.saveAnswer = answer;
            window->exportAction()->trigger();
            QTRY_VERIFY(window->exportAction()->isEnabled());
        }
        QCOMPARE(dialogs.errors.size(), 2);
        QVERIFY2(dialogs.errors[0].startsWith(QStringLiteral("La photo ne peut pas être écrite sur elle-même")),
                 qPrintable(dialogs.errors[0]));
        QCOMPARE(dialogs.errors[1], QStringLiteral("Extension de fichier image inconnue (.gif)"));
        QCOMPARE(readBytes(photo), before);
        QCOMPARE(QDir(photoFolder->path()).entryList(QDir::Files | QDir::Hidden), QStringList({"plage.jpg"}));
    }
};

QTEST_MAIN(WindowPhotoTest)
#include "WindowPhoto_test.moc"
