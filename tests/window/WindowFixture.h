#pragma once
// What the window tests share: a window over a program folder of its own,
// files written and read back, surfaces compared pixel for pixel, a small
// effect, and the effect tree read and selected by its texts.

#include "FakeDialogs.h"

#include "imaging/TBitmap32.h"
#include "window/EffectTreeModel.h"
#include "window/TFen_Teintelle.h"

#include <QAction>
#include <QApplication>
#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QTemporaryDir>
#include <QTest>
#include <QTreeView>

#include <algorithm>
#include <cstdint>
#include <memory>
#include <vector>

namespace teintelle::testing {

// The program file in `folder`: the window scans that folder at start-up
// and keeps its settings file there.
inline QString programIn(const QString& folder) { return folder + QStringLiteral("/Teintelle"); }

inline QByteArray asByteArray(const std::vector<std::uint8_t>& bytes)
{
    return QByteArray(reinterpret_cast<const char*>(bytes.data()), qsizetype(bytes.size()));
}

inline std::vector<std::uint8_t> asBytes(const QByteArray& bytes)
{
    return std::vector<std::uint8_t>(bytes.begin(), bytes.end());
}

// Writes the whole file, replacing one there, with the folders it needs.
inline void writeFile(const QString& path, const QByteArray& bytes)
{
    QDir().mkpath(QFileInfo(path).absolutePath());
    QFile file(path);
    QVERIFY2(file.open(QIODevice::WriteOnly | QIODevice::Truncate), qPrintable(path));
    QCOMPARE(file.write(bytes), bytes.size());
}

inline void writeFile(const QString& path, const std::vector<std::uint8_t>& bytes)
{
    writeFile(path, asByteArray(bytes));
}

// The file's bytes; a file that cannot be read gives a text no test writes.
inline QByteArray readBytes(const QString& path)
{
    QFile file(path);
    return file.open(QIODevice::ReadOnly) ? file.readAll() : QByteArray("<unreadable>");
}

// Same sides and the same pixels; two empty surfaces of the same sides are the same.
inline bool samePixels(const TBitmap32& a, const TBitmap32& b)
{
    if (a.Width() != b.Width() || a.Height() != b.Height())
        return false;
    const std::size_t count = std::size_t(a.Width()) * std::size_t(a.Height());
    return count == 0 || std::equal(a.Bits(), a.Bits() + count, b.Bits());
}

// A .cube of size 2 whose corners are the unit cube's, as a grading tool
// writes it; `invert` swaps 0 and 1 so the effect shows.
inline QByteArray cube2(bool invert)
{
    QByteArray text = "TITLE \"test\"\nLUT_3D_SIZE 2\n";
    for (int b = 0; b < 2; ++b)
        for (int g = 0; g < 2; ++g)
            for (int r = 0; r < 2; ++r) {
                auto value = [&](int v) { return (invert ? 1 - v : v) ? "1.000000" : "0.000000"; };
                text += QByteArray(value(r)) + ' ' + value(g) + ' ' + value(b) + '\n';
            }
    return text;
}

inline QStringList childTexts(const EffectTreeModel& model, const QModelIndex& parent)
{
    QStringList texts;
    for (int row = 0; row < model.rowCount(parent); ++row)
        texts << model.index(row, 0, parent).data().toString();
    return texts;
}

// The node reached from the root through these texts, each matched exactly;
// invalid when one is missing.
inline QModelIndex effectNode(TFen_Teintelle& window, const QStringList& texts)
{
    QModelIndex index = window.NoeudRacine;
    for (const QString& text : texts) {
        const QModelIndexList found = window.effectTree().match(window.effectTree().index(0, 0, index), Qt::DisplayRole,
                                                                text, 1, Qt::MatchExactly | Qt::MatchCaseSensitive);
        if (found.isEmpty())
            return {};
        index = found.first();
    }
    return index;
}

// Selects the node as a click in the tree does; a missing node fails the test.
inline void selectEffect(TFen_Teintelle& window, const QStringList& texts)
{
    const QModelIndex node = effectNode(window, texts);
    QVERIFY2(node.isValid(), qPrintable(texts.join(QLatin1Char('/'))));
    window.TreeView1->setCurrentIndex(node);
}

// The browse action inside a path field.
inline QAction* browseAction(QWidget* field)
{
    return field->findChild<QAction*>(field->objectName() + QStringLiteral("_Parcourir"));
}

// Shown and active, so that keys and the focus reach it.
[[nodiscard]] inline bool showActive(QWidget& window)
{
    window.show();
    QApplication::setActiveWindow(&window);
    return QTest::qWaitForWindowActive(&window);
}

// For a test class: each window over the same program folder, empty when
// the test starts, and dialogs that record every box and answer as told.
class WindowFixture {
protected:
    std::unique_ptr<QTemporaryDir> programFolder;
    FakeDialogs dialogs;

    // From init(): a new program folder, and dialogs that have shown nothing.
    void freshProgramFolder()
    {
        programFolder = std::make_unique<QTemporaryDir>();
        dialogs = FakeDialogs();
    }

    std::unique_ptr<TFen_Teintelle> makeWindow() { return makeWindow(dialogs); }
    std::unique_ptr<TFen_Teintelle> makeWindow(UserDialogs& answering) const
    {
        return std::make_unique<TFen_Teintelle>(answering, programIn(programFolder->path()));
    }
};

} // namespace teintelle::testing
