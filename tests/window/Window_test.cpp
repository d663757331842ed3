// The main window on the offscreen platform, driven as a user drives it.
#include "WindowFixture.h"

#include "window/AnchorLayout.h"
#include "window/TFen_Teintelle.h"
#include "window/Theme.h"
#include "window/Widgets.h"
#include "common/Error.h"
#include "window/TImage32.h"

#include <QApplication>
#include <QLabel>
#include <QTest>
#include <QTreeView>

using namespace teintelle;
using namespace teintelle::testing;

class WindowTest : public QObject, private WindowFixture {
    Q_OBJECT

    static QPoint rightBottomGap(QWidget* widget)
    {
        const QWidget* parent = widget->parentWidget();
        return {parent->width() - widget->geometry().right() - 1, parent->height() - widget->geometry().bottom() - 1};
    }

private slots:
    void initTestCase()
    {
        QVERIFY(activateTheme(*qApp, kThemeName));
        QVERIFY(!activateTheme(*qApp, QStringLiteral("Pas de thème")));
    }

    void init() { freshProgramFolder(); }

    void stateAfterCreation()
    {
        auto window = makeWindow();
        QCOMPARE(window->windowTitle(), QStringLiteral("La Teintelle"));
        QCOMPARE(window->applicationTitle(), QStringLiteral("Teintelle"));
        QCOMPARE(window->size(), QSize(799, 341));
        QCOMPARE(window->ImageList1.size(), 15);
        QVERIFY(window->imageTraitee() != nullptr);
        QVERIFY(window->imageTraitee()->Empty());
        QVERIFY(!window->Bt_SansEffet->isEnabled());
        QCOMPARE(window->RepertoireFichiersCube->text(), programFolder->path() + QStringLiteral("/"));
        QVERIFY(window->FichierImage->text().isEmpty());
        QCOMPARE(window->Label3->text(), QStringLiteral("Photo "));
        QVERIFY(window->Image321->Bitmap().Empty());
        QVERIFY(window->Image322->Bitmap().Empty());
        QCOMPARE(window->TailleTableLut, 0);
        QCOMPARE(window->ResolutionChargee, 0);
        QVERIFY(dialogs.errors.isEmpty());
    }

    void designLayout()
    {
        auto window = makeWindow();
        window->show();
        QCOMPARE(window->Panel1->geometry(), QRect(0, 300, 799, 41));
        QCOMPARE(window->Panel_Tables->geometry(), QRect(0, 0, 353, 300));
        QCOMPARE(window->Splitter1->geometry(), QRect(353, 0, 5, 300));
        QCOMPARE(window->Panel_Images->geometry(), QRect(358, 0, 441, 300));
        QCOMPARE(window->Bt_Fermer->geometry(), QRect(678, 8, 102, 25)); // 676, 6 inside the 2-pixel border
        QCOMPARE(window->RepertoireFichiersCube->geometry(), QRect(10, 23, 327, 21));
        QCOMPARE(window->TreeView1->geometry(), QRect(10, 55, 327, 232));
        QCOMPARE(window->FichierImage->geometry(), QRect(9, 21, 425, 21));
        QCOMPARE(window->Bt_SansEffet->geometry(), QRect(9, 48, 144, 19));
        QCOMPARE(window->Label3->geometry(), QRect(252, 51, 170, 13));
        QCOMPARE(window->Image322->geometry(), QRect(9, 73, 234, 217));
        QCOMPARE(window->Image321->geometry(), QRect(249, 73, 184, 184));
        QCOMPARE(window->Bt_AnnuleEffet->geometry(), QRect(249, 263, 105, 25));
        QCOMPARE(window->Label_Infos->pos(), QPoint(168, 11));
        QVERIFY(window->Label5->font().italic());
        QCOMPARE(window->Label_Infos->font().pixelSize(), 13);
        QCOMPARE(window->Label_Infos->palette().color(QPalette::WindowText), QColor(Qt::yellow));
        QCOMPARE(window->TreeView1->indentation(), 19);
    }

    void growingAndShrinking()
    {
        auto window = makeWindow();
        window->show();
        window->resize(1199, 641);
        QCOMPARE(window->Panel_Tables->geometry(), QRect(0, 0, 353, 600));
        QCOMPARE(window->TreeView1->geometry(), QRect(10, 55, 327, 532));
        QCOMPARE(window->Panel_Images->width(), 841);
        QCOMPARE(window->Image322->geometry(), QRect(9, 73, 634, 517));
        QCOMPARE(rightBottomGap(window->Image321).x(), 8);
        QCOMPARE(rightBottomGap(window->Bt_AnnuleEffet).x(), 87);
        QCOMPARE(rightBottomGap(window->Label3).x(), 19);
        QCOMPARE(window->FichierImage->width(), 425);
        QCOMPARE(rightBottomGap(window->Bt_Fermer).x(), 17 + 2);

        window->resize(100, 100);
        QCOMPARE(window->size(), QSize(794, 341));
    }

    void splitterRules_data()
    {
        QTest::addColumn<int>("wanted");
        QTest::addColumn<int>("width");
        QTest::newRow("ordinary") << 200 << 200;
        QTest::newRow("31 stays") << 31 << 31;
        QTest::newRow("30 collapses") << 30 << 0;
        QTest::newRow("negative collapses") << -40 << 0;
        QTest::newRow("photo panel keeps 30") << 790 << 799 - 5 - 30;
    }

    void splitterRules()
    {
        QFETCH(int, wanted);
        QFETCH(int, width);
        QCOMPARE(PanelSplitter::clampedWidth(wanted, 799), width);
    }

    void splitterDragChangesPanelsOnRelease()
    {
        auto window = makeWindow();
        window->show();
        QVERIFY(QTest::qWaitForWindowExposed(window.get()));
        QTest::mousePress(window->Splitter1, Qt::LeftButton, {}, QPoint(2, 100));
        QMouseEvent move(QEvent::MouseMove, QPointF(2 - 150, 100), window->Splitter1->mapToGlobal(QPointF(2 - 150, 100)),
                         Qt::NoButton, Qt::LeftButton, Qt::NoModifier);
        QApplication::sendEvent(window->Splitter1, &move);
        QCOMPARE(window->Panel_Tables->width(), 353); // only the line moves while dragging
        QTest::mouseRelease(window->Splitter1, Qt::LeftButton, {}, QPoint(2 - 150, 100));
        QCOMPARE(window->Panel_Tables->width(), 203);
        QCOMPARE(window->Panel_Images->geometry().left(), 208);

        QTest::mousePress(window->Splitter1, Qt::LeftButton, {}, QPoint(2, 100));
        QTest::mouseRelease(window->Splitter1, Qt::LeftButton, {}, QPoint(2 - 180, 100));
        QCOMPARE(window->Panel_Tables->width(), 0);
        QVERIFY(!window->Panel_Tables->isVisible());
    }

    // The focus inside the collapsed panel goes where the first focus goes,
    // never into the photo field with its path selected.
    void collapsingThePanelMovesTheFocusToTheCloseButton_data()
    {
        QTest::addColumn<QString>("focused");
        QTest::newRow("tree") << "TreeView1";
        QTest::newRow("folder field") << "RepertoireFichiersCube";
    }

    void collapsingThePanelMovesTheFocusToTheCloseButton()
    {
        QFETCH(QString, focused);
        auto window = makeWindow();
        QVERIFY(showActive(*window));
        window->FichierImage->setText(QStringLiteral("/photos/vacances.jpg"));
        window->findChild<QWidget*>(focused)->setFocus();
        QCOMPARE(QApplication::focusWidget()->objectName(), focused);
        QTest::mousePress(window->Splitter1, Qt::LeftButton, {}, QPoint(2, 100));
        QTest::mouseRelease(window->Splitter1, Qt::LeftButton, {}, QPoint(2 - 340, 100));
        QVERIFY(!window->Panel_Tables->isVisible());
        QCOMPARE(QApplication::focusWidget(), window->Bt_Fermer);
        QVERIFY(!window->FichierImage->hasSelectedText());
        QTest::keyClick(QApplication::focusWidget(), Qt::Key_X);
        QCOMPARE(window->FichierImage->text(), QStringLiteral("/photos/vacances.jpg"));
    }

    void tabOrderAndFirstFocus()
    {
        auto window = makeWindow();
        window->show();
        window->Bt_Fermer->setFocus();
        QApplication::setActiveWindow(window.get());
        QVERIFY(QTest::qWaitForWindowActive(window.get()));
        QCOMPARE(QApplication::focusWidget(), window->Bt_Fermer);

        window->Bt_SansEffet->setEnabled(true);
        const QList<QWidget*> expected = {window->RepertoireFichiersCube, window->TreeView1, window->FichierImage,
                                          window->Bt_SansEffet, window->Bt_AnnuleEffet, window->Bt_Fermer};
        for (QWidget* next : expected) {
            QTest::keyClick(QApplication::focusWidget(), Qt::Key_Tab);
            QCOMPARE(QApplication::focusWidget(), next);
        }
        window->Bt_SansEffet->setEnabled(false); // a disabled button is skipped
        window->FichierImage->setFocus();
        QTest::keyClick(window->FichierImage, Qt::Key_Tab);
        QCOMPARE(QApplication::focusWidget(), window->Bt_AnnuleEffet);
        QVERIFY(window->Image321->focusPolicy() == Qt::NoFocus && window->Image322->focusPolicy() == Qt::NoFocus);
    }

    void enterOrSpaceOnFocusedCloseButtonEndsTheProgram_data()
    {
        QTest::addColumn<int>("key");
        QTest::newRow("Enter") << int(Qt::Key_Return);
        QTest::newRow("keypad Enter") << int(Qt::Key_Enter);
        QTest::newRow("Space") << int(Qt::Key_Space);
    }

    void enterOrSpaceOnFocusedCloseButtonEndsTheProgram()
    {
        QFETCH(int, key);
        auto window = makeWindow();
        QVERIFY(showActive(*window));
        window->Bt_Fermer->setFocus();
        QTest::keyClick(window->Bt_Fermer, Qt::Key(key));
        QTRY_VERIFY(!window->isVisible());
    }

    void errorEscapingAHandlerIsShownAndTheWindowGoesOn()
    {
        auto window = makeWindow();
        window->runHandler([] { throw Error("Index de liste hors limites (5)"); });
        window->runHandler([] { throw Error("Mémoire insuffisante"); });
        QCOMPARE(dialogs.errors,
                 QStringList({QStringLiteral("Index de liste hors limites (5)"), QStringLiteral("Mémoire insuffisante.")}));
        QCOMPARE(dialogs.lastTitle, QStringLiteral("Teintelle"));
    }
};

QTEST_MAIN(WindowTest)
#include "Window_test.moc"
