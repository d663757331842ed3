// The photo's handlers: the photo field, the compare button and the cancel.
#include "window/TFen_Teintelle.h"

#include "window/UserDialogs.h"
#include "window/Widgets.h"
#include "common/InputFile.h"
#include "imaging/PhotoLoading.h"
#include "window/TImage32.h"

#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QLabel>
#include <QTreeView>

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
}

} // namespace teintelle
