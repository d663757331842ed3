// The photo's handlers: the photo field, the compare button, the cancel and
// the export of the photo with its effect.
#include "window/TFen_Teintelle.h"

#include "window/UserDialogs.h"
#include "window/Widgets.h"
#include "common/Error.h"
#include "export/PhotoExport.h"
#include "common/InputFile.h"
#include "imaging/PhotoLoading.h"
#include "window/TImage32.h"

#include <QAction>
#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QLabel>
#include <QProgressDialog>
#include <QTreeView>

#include <system_error>

#include <sys/stat.h>

namespace teintelle {

namespace {

std::string localPath(const QString& text) { return QFile::encodeName(text).toStdString(); }

// A photo is read whole into memory: only a regular file (links followed)
// counts, never a folder, and never a pipe or a device that could be endless.
bool namesExistingFile(const QString& text)
{
    return !text.isEmpty() && namesRegularFile(localPath(text));
}

QString sizeLabel(std::int32_t width, std::int32_t height)
{
    return QStringLiteral("Photo %1 x %2 pixels.").arg(width).arg(height);
}

// The products of the size label, as signed 32-bit integers.
std::int32_t scaled(std::int32_t side, std::int32_t factor)
{
    return static_cast<std::int32_t>(static_cast<std::uint32_t>(side) * static_cast<std::uint32_t>(factor));
}

} // namespace

void TFen_Teintelle::FichierImageChange()
{
    const QString text = FichierImage->text();
    if (!namesExistingFile(text))
        return;
    loadedPhoto_ = localPath(text);
    appliedTable_.reset();
    updateExportAction();
    TBitmap32& source = Image321->Bitmap();
    ResolutionChargee = ChargePhotoReduite(localPath(text), source);
    Label3->setText(sizeLabel(scaled(source.Width(), ResolutionChargee), scaled(source.Height(), ResolutionChargee)));
    Image321->Refresh();
    if (source.Width() >= 1000 || source.Height() >= 1000) {
        Image322->Bitmap().Assign(&source);
    } else {
        TBitmap32& large = Image322->Bitmap();
        LoadFromFile(localPath(FichierImage->text()), large, photoDecoders_);
        Label3->setText(sizeLabel(large.Width(), large.Height()));
        ResolutionChargee = 1;
    }
    Image322->Refresh();
    // The photo is there: the suggestions would hide the compare button and
    // the size label.
    FichierImage->closeSuggestions();
}

void TFen_Teintelle::browseForPhoto()
{
    const QString text = FichierImage->text();
    static const QString forbidden = QStringLiteral("<>\"?*|");
    const bool usable = !text.isEmpty() && std::none_of(text.begin(), text.end(), [](QChar c) { return forbidden.contains(c); });
    QString startFolder = lastPhotoFolder_;
    QString preselected;
    if (usable) {
        const QFileInfo named(text);
        if (named.absoluteDir().exists()) {
            startFolder = named.absolutePath();
            preselected = named.fileName();
        } else {
            preselected = text;
        }
    }
    const auto chosen = dialogs_.chooseFile(this, QStringLiteral("Browse"), QStringLiteral("All files (*.*)"),
                                            startFolder, preselected);
    FichierImage->setFocus();
    if (!chosen)
        return;
    lastPhotoFolder_ = QFileInfo(*chosen).absolutePath();
    FichierImage->setText(*chosen);
}

void TFen_Teintelle::Bt_SansEffetMouseEnter()
{
    Image322->Bitmap().Assign(&Image321->Bitmap());
    Image322->Refresh();
}

void TFen_Teintelle::Bt_SansEffetMouseLeave()
{
    Image322->Bitmap().Assign(ImageTraitee.get());
    Image322->Refresh();
}

void TFen_Teintelle::Image322DblClick()
{
    if (ResolutionChargee == 1)
        Image322->Bitmap().Assign(&Image321->Bitmap());
    else
        ResolutionChargee = ChargePhotoReduite(localPath(FichierImage->text()), Image322->Bitmap());
    Image322->Refresh();
    // With no tree left there is nothing to select: the tree is left alone.
    if (NoeudRacine.isValid())
        TreeView1->setCurrentIndex(NoeudRacine);
    Bt_SansEffet->setEnabled(false);
    appliedTable_.reset();
    updateExportAction();
}

void TFen_Teintelle::createExportAction()
{
    exportAction_ = new QAction(QStringLiteral("Enregistrer la photo avec l'effet…"), this);
    exportAction_->setObjectName(QStringLiteral("EnregistrerPhotoAvecEffet"));
    exportAction_->setShortcut(QKeySequence(Qt::CTRL | Qt::Key_S));
    exportAction_->setShortcutContext(Qt::WindowShortcut);
    // The large view's context menu holds the one entry; the window holds it
    // too so that its shortcut works wherever the focus is.
    Image322->setContextMenuPolicy(Qt::ActionsContextMenu);
    Image322->addAction(exportAction_);
    addAction(exportAction_);
    connect(exportAction_, &QAction::triggered, this, [this] { runHandler([this] { EnregistrerPhotoAvecEffet(); }); });
    updateExportAction();
}

void TFen_Teintelle::updateExportAction()
{
    if (exportAction_ != nullptr)
        exportAction_->setEnabled(!loadedPhoto_.empty() && appliedTable_ != nullptr && !exporting_);
}

void TFen_Teintelle::EnregistrerPhotoAvecEffet()
{
    if (loadedPhoto_.empty() || appliedTable_ == nullptr || exporting_)
        return;
    const QFileInfo photo(QFile::decodeName(QByteArray::fromStdString(loadedPhoto_)));
    const QString proposed =
        QString::fromStdString(exportName(photo.fileName().toStdString(), appliedEffect_, ExportFormat::Jpeg));
    const auto chosen = dialogs_.chooseSaveFile(this, photo.absolutePath(), proposed);
    if (!chosen)
        return;
    const std::string output = localPath(*chosen);
    const auto format = exportFormatForName(output);
    if (!format)
        throw Error("Extension de fichier image inconnue (." + photoExtension(output) + ")");

    ExportOptions options;
    options.format = *format;
    options.overwrite = true; // the save dialog asked before replacing a file
    options.overlap = true;
    options.progress = [this](double fraction) {
        QMetaObject::invokeMethod(
            this, [this, fraction] { if (exportProgress_ != nullptr) exportProgress_->setValue(int(fraction * 100)); },
            Qt::QueuedConnection);
    };
    exportProgress_ = new QProgressDialog(QStringLiteral("Enregistrement de « %1 »…").arg(QFileInfo(*chosen).fileName()),
                                          QString(), 0, 100, this);
    exportProgress_->setWindowTitle(title_);
    exportProgress_->setWindowModality(Qt::NonModal);
    exportProgress_->setCancelButton(nullptr);
    exportProgress_->setMinimumDuration(500);
    exportProgress_->setValue(0);
    exporting_ = true;
    updateExportAction();
    if (exportThread_.joinable())
        exportThread_.join();
    const auto work = [this, photo = loadedPhoto_, output, table = appliedTable_, options] {
        QString failure;
        try {
            exportPhoto(photo, output, *table, table->taille(), options, photoDecoders_);
        } catch (const std::bad_alloc&) {
            failure = QString::fromUtf8(kOutOfMemory);
        } catch (const std::exception& error) {
            failure = QString::fromUtf8(error.what());
        }
        QMetaObject::invokeMethod(this, [this, failure] { exportFinished(failure); }, Qt::QueuedConnection);
    };
    try {
        exportThread_ = std::thread(work);
    } catch (const std::system_error& error) { // no thread to be had
        exportFinished(QString::fromUtf8(error.what()));
    }
}

void TFen_Teintelle::exportFinished(const QString& failure)
{
    if (exportThread_.joinable())
        exportThread_.join();
    exporting_ = false;
    delete exportProgress_;
    exportProgress_ = nullptr;
    updateExportAction();
    if (!failure.isEmpty())
        showError(failure);
}

} // namespace teintelle
