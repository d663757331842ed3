// The effect library's handlers: the effect folder field, the tree and the
// effect selection.
#include "window/TFen_Teintelle.h"

#include "window/BusyCursor.h"
#include "window/UserDialogs.h"
#include "window/Widgets.h"
#include "common/Error.h"
#include "library/EffectNames.h"
#include "window/EffectTreeModel.h"
#include "window/FolderDialogStart.h"
#include "lut/AppliqueLut.h"
#include "lut/EffectRead.h"
#include "window/TImage32.h"

#include <QCoreApplication>
#include <QFile>
#include <QLabel>
#include <QTreeView>

#include <cstring>

namespace teintelle {

void TFen_Teintelle::RepertoireFichiersCubeChange()
{
    if (scanRunning_) {
        // The running scan is for a text that no longer stands: it stops at
        // its next check and its handling starts over with the new text.
        folderTextChanged_ = true;
        return;
    }
    bool startedOver = false;
    for (;;) {
        if (RepertoireFichiersCube->text().isEmpty()) {
            effectTree_->clear();
            NoeudRacine = QPersistentModelIndex();
            if (startedOver)
                setStatus(QStringLiteral("..."));
            return;
        }
        setStatus(QStringLiteral("Analyse du répertoire et des sous-répertoires"));
        // A change typed meanwhile runs its own handling nested here; this
        // one then goes on with the field's latest text.
        QCoreApplication::processEvents();
        effectTree_->clear();
        NoeudRacine = effectTree_->addRoot(RepertoireFichiersCube->text());
        const std::string searchPath = searchPathFor(QFile::encodeName(RepertoireFichiersCube->text()).toStdString());
        if (scanEffectFolder(searchPath) == ScanEnd::Stopped && !closing_) {
            startedOver = true;
            continue;
        }
        setStatus(QStringLiteral("..."));
        QCoreApplication::processEvents();
        return;
    }
}

ScanEnd TFen_Teintelle::scanEffectFolder(const std::string& searchPath)
{
    // The scan lets the window handle its events now and then: it paints,
    // "Fermer" closes it, and a change of the field stops the scan, whose
    // tree would be thrown away.
    struct Running {
        TFen_Teintelle& window;
        explicit Running(TFen_Teintelle& w) : window(w)
        {
            window.scanRunning_ = true;
            window.folderTextChanged_ = false;
        }
        ~Running() { window.scanRunning_ = false; }
    } running(*this);
    return effectTree_->AnalyseRepertoire(NoeudRacine, searchPath, [this] {
        QCoreApplication::processEvents();
        return folderTextChanged_ || closing_;
    });
}

void TFen_Teintelle::TreeView1Change()
{
    const QModelIndex selected = TreeView1->currentIndex();
    const std::string path = selected.isValid() ? effectTree_->CheminDuNoeud(selected) : std::string();
    if (!isEffectPath(path))
        return;
    Bt_SansEffet->setEnabled(true);
    if (!ChargeTableLut(path))
        return;
    BusyCursor hourglass;
    AppliqueLut(Image321->Bitmap(), *ImageTraitee);
    Image322->Bitmap().Assign(ImageTraitee.get());
    Image322->Refresh();
    keepAppliedEffect(path);
}

bool TFen_Teintelle::ChargeTableLut(const std::string& path)
{
    const EffectRead read = readEffectFile(path, TableLut, TailleTableLut);
    if (read.outcome == EffectReadOutcome::Structure)
        dialogs_.showNotice(title_, QString::fromStdString(read.message));
    if (read.outcome == EffectReadOutcome::Failed)
        throw Error(read.message); // the error box of the handler
    return read.loaded();
}

void TFen_Teintelle::AppliqueLut(const TBitmap32& source, TBitmap32& destination)
{
    teintelle::AppliqueLut(source, destination, TableLut, TailleTableLut, coef);
}

void TFen_Teintelle::keepAppliedEffect(const std::string& path)
{
    appliedTable_.reset();
    try {
        auto copy = std::make_shared<LutTable>();
        copy->resize(TailleTableLut);
        std::memcpy(&copy->inFileOrder(0), TableLut.data(), TableLut.entryCount() * sizeof(TLutValeur));
        appliedTable_ = std::move(copy);
        appliedEffect_ = path;
    } catch (const std::exception&) {
        // No memory for the copy: the effect is shown, it cannot be saved.
    }
    updateExportAction();
}

void TFen_Teintelle::browseForEffectFolder()
{
    const auto chosen =
        dialogs_.chooseFolder(this, dialogStartFolder(RepertoireFichiersCube->text(), lastEffectFolder_));
    RepertoireFichiersCube->setFocus();
    if (!chosen)
        return;
    lastEffectFolder_ = *chosen;
    RepertoireFichiersCube->setText(*chosen);
}

} // namespace teintelle
