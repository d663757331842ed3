// The program installed in a system folder: its folder, where the settings
// file lies, cannot be written by the user. The window still starts on its
// folder's effects, and the settings file that cannot be written is left as it
// is, without a message, when the window ends.
//
// Run as root, the test becomes "nobody" first: root writes through any mode.
#include "WindowFixture.h"

#include "window/EffectTreeModel.h"
#include "window/TFen_Teintelle.h"
#include "window/Widgets.h"

#include <QApplication>
#include <QDir>
#include <QFile>
#include <QTemporaryDir>
#include <QTest>

#include <grp.h>
#include <pwd.h>
#include <unistd.h>

#include <cstdio>
#include <memory>

using namespace teintelle;
using namespace teintelle::testing;

class ReadOnlyProgramFolderTest : public QObject {
    Q_OBJECT

private slots:
    void sessionEndsQuietly_data()
    {
        QTest::addColumn<QByteArray>("settings"); // empty: no settings file
        QTest::newRow("no settings file") << QByteArray();
        QTest::newRow("a settings file") << QByteArray("[Fenetre]\r\nLargeur=800\r\n");
    }

    void sessionEndsQuietly()
    {
        QFETCH(QByteArray, settings);
        QTemporaryDir temporary;
        const QString folder = temporary.filePath(QStringLiteral("teintelle"));
        QVERIFY(QDir().mkpath(folder + QStringLiteral("/Effets")));
        writeFile(folder + QStringLiteral("/Effets/Froid.cube"),
                  "LUT_3D_SIZE 2\n" + QByteArray("0.0 0.5 1.0\n").repeated(8));
        const QString ini = folder + QStringLiteral("/Teintelle.ini");
        if (!settings.isEmpty())
            writeFile(ini, settings);
        const auto readOnly = QFile::ReadOwner | QFile::ExeOwner | QFile::ReadGroup | QFile::ExeGroup
                            | QFile::ReadOther | QFile::ExeOther;
        QVERIFY(settings.isEmpty() || QFile::setPermissions(ini, QFile::ReadOwner | QFile::ReadGroup | QFile::ReadOther));
        QVERIFY(QFile::setPermissions(folder, readOnly));
        QVERIFY(!QFileInfo(folder).isWritable());

        FakeDialogs dialogs;
        {
            TFen_Teintelle window(dialogs, programIn(folder));
            window.show();
            QCOMPARE(window.RepertoireFichiersCube->text(), folder + QStringLiteral("/"));
            QCOMPARE(window.effectTree().rowCount(window.NoeudRacine), 1); // Effets
        }
        QVERIFY(dialogs.errors.isEmpty());
        QVERIFY(dialogs.notices.isEmpty());
        QCOMPARE(QDir(folder).entryList(QDir::Files | QDir::Hidden),
                 settings.isEmpty() ? QStringList() : QStringList{QStringLiteral("Teintelle.ini")});
        if (!settings.isEmpty()) {
            QFile file(ini);
            QVERIFY(file.open(QIODevice::ReadOnly));
            QCOMPARE(file.readAll(), settings);
        }
        QFile::setPermissions(folder, readOnly | QFile::WriteOwner); // so the temporary folder goes
    }
};

int main(int argc, char** argv)
{
    if (geteuid() == 0) {
        const passwd* nobody = getpwnam("nobody");
        if (nobody == nullptr || setgroups(0, nullptr) != 0 || setgid(nobody->pw_gid) != 0 || setuid(nobody->pw_uid) != 0) {
            std::perror("becoming nobody");
            return 1;
        }
    }
    QApplication application(argc, argv);
    ReadOnlyProgramFolderTest test;
    return QTest::qExec(&test, argc, argv);
}

#include "ReadOnlyProgramFolder_test.moc"
