// Qt's own texts in the window are French once Qt's French translation is
// installed as at start-up: the real file dialogs, opened from the fields'
// browse actions, and the fields' context menu. Only the photo dialog's title
// and filter, the window's own, stay in English.
#include "WindowFixture.h"

#include "window/QtTexts.h"
#include "window/TFen_Teintelle.h"
#include "window/Widgets.h"

#include <QAbstractButton>
#include <QApplication>
#include <QComboBox>
#include <QDialog>
#include <QHeaderView>
#include <QLabel>
#include <QMenu>
#include <QTest>
#include <QTimer>

#include <memory>

using namespace teintelle;
using namespace teintelle::testing;

namespace {

// The real file dialogs; the boxes are recorded, so nothing else can block.
class RealFileDialogs : public FakeDialogs {
public:
    std::optional<QString> chooseFolder(QWidget* parent, const QString& startFolder) override
    {
        return QtUserDialogs().chooseFolder(parent, startFolder);
    }
    std::optional<QString> chooseFile(QWidget* parent, const QString& title, const QString& filter,
                                      const QString& startFolder, const QString& preselected) override
    {
        return QtUserDialogs().chooseFile(parent, title, filter, startFolder, preselected);
    }
};

// What a user reads on a dialog: its title, its labels, its buttons' texts
// and tooltips, the columns' headers and the choices of its lists.
QStringList visibleTexts(QWidget* dialog)
{
    QStringList texts{QStringLiteral("title: ") + dialog->windowTitle()};
    for (const auto* label : dialog->findChildren<QLabel*>())
        if (label->isVisible() && !label->text().isEmpty())
            texts << QStringLiteral("label: ") + label->text();
    for (const auto* button : dialog->findChildren<QAbstractButton*>()) {
        if (!button->isVisible())
            continue;
        if (!button->text().isEmpty())
            texts << QStringLiteral("button: ") + button->text();
        if (!button->toolTip().isEmpty())
            texts << QStringLiteral("tooltip: ") + button->toolTip();
    }
    for (const auto* header : dialog->findChildren<QHeaderView*>())
        if (header->isVisible())
            for (int i = 0; i < header->count(); ++i)
                if (!header->isSectionHidden(i))
                    texts << QStringLiteral("column: ") + header->model()->headerData(i, header->orientation()).toString();
    for (const auto* list : dialog->findChildren<QComboBox*>(QStringLiteral("fileTypeCombo")))
        for (int i = 0; i < list->count(); ++i)
            texts << QStringLiteral("type: ") + list->itemText(i);
    return texts;
}

} // namespace

class QtTextsTest : public QObject, private WindowFixture {
    Q_OBJECT

    QTranslator translator;

private slots:
    void initTestCase() { QVERIFY(installQtFrenchTexts(translator)); }
    void init() { freshProgramFolder(); }

    void fileDialogsAreFrench_data()
    {
        QTest::addColumn<QString>("field");
        QTest::addColumn<QStringList>("expected");
        const QStringList common{
            QStringLiteral("label: Voir dans :"),
            QStringLiteral("label: Fichiers de type :"),
            QStringLiteral("tooltip: Précédent"),
            QStringLiteral("tooltip: Suivant"),
            QStringLiteral("tooltip: Dossier parent"),
            QStringLiteral("tooltip: Créer un nouveau dossier"),
            QStringLiteral("tooltip: Vue en liste"),
            QStringLiteral("tooltip: Vue détaillée"),
            QStringLiteral("button: Annuler"),
            QStringLiteral("column: Nom"),
            QStringLiteral("column: Taille"),
            QStringLiteral("column: Type"),
            QStringLiteral("column: Dernière modification"),
        };
        QTest::newRow("effect folder") << QStringLiteral("RepertoireFichiersCube")
                                       << common + QStringList{QStringLiteral("title: Chercher dans le dossier"),
                                                               QStringLiteral("label: Dossier :"),
                                                               QStringLiteral("button: &Choisir"),
                                                               QStringLiteral("type: Dossiers")};
        QTest::newRow("photo") << QStringLiteral("FichierImage")
                               << common + QStringList{QStringLiteral("title: Browse"),
                                                       QStringLiteral("label: &Nom de fichier :"),
                                                       QStringLiteral("button: &Ouvrir"),
                                                       QStringLiteral("type: All files (*.*)")};
    }

    void fileDialogsAreFrench()
    {
        QFETCH(QString, field);
        QFETCH(QStringList, expected);
        RealFileDialogs realDialogs;
        auto window = makeWindow(realDialogs);
        window->show();
        auto* edit = window->findChild<PathEdit*>(field);
        QVERIFY(edit != nullptr);
        edit->setText(programFolder->path());
        auto* browse = browseAction(edit);
        QVERIFY(browse != nullptr);

        // The dialog is modal: read it, then cancel it, from the event loop it runs.
        QStringList shown;
        QTimer reader;
        connect(&reader, &QTimer::timeout, [&] {
            auto* dialog = qobject_cast<QDialog*>(QApplication::activeModalWidget());
            if (dialog == nullptr || !dialog->isVisible())
                return;
            reader.stop();
            shown = visibleTexts(dialog);
            dialog->reject();
        });
        reader.start(50);
        browse->trigger();

        shown.sort();
        expected.sort();
        QCOMPARE(shown, expected);
        QVERIFY(realDialogs.errors.isEmpty());
        QVERIFY(realDialogs.notices.isEmpty());
    }

    void fieldContextMenuIsFrench()
    {
        auto window = makeWindow();
        window->RepertoireFichiersCube->setText(QStringLiteral("texte"));
        std::unique_ptr<QMenu> menu(window->RepertoireFichiersCube->createStandardContextMenu());
        QStringList entries;
        for (const QAction* action : menu->actions())
            if (!action->isSeparator())
                entries << action->text().section(QLatin1Char('\t'), 0, 0);
        QCOMPARE(entries, (QStringList{QStringLiteral("&Annuler"), QStringLiteral("&Rétablir"),
                                       QStringLiteral("Co&uper"), QStringLiteral("Cop&ier"),
                                       QStringLiteral("Co&ller"), QStringLiteral("Supprimer"),
                                       QStringLiteral("Tout sélectionner")}));
    }
};

QTEST_MAIN(QtTextsTest)
#include "QtTexts_test.moc"
