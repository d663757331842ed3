#pragma once

#include "imaging/DecodedPicture.h"
#include "imaging/TBitmap32.h"
#include "library/AnalyseRepertoire.h"
#include "lut/LutTable.h"

#include <QIcon>
#include <QList>
#include <QPersistentModelIndex>
#include <QWidget>

#include <cstdint>
#include <functional>
#include <memory>
#include <string>
#include <thread>

class QAction;
class QLabel;
class QProgressDialog;
class QTreeView;

namespace teintelle {

class BevelPanel;
class EffectTreeModel;
class PanelSplitter;
class PathEdit;
class PushButton;
class IniFileStorage;
class TImage32;
class UserDialogs;

// The settings store bound to "Teintelle.ini" beside the program: it reads
// the file once when the window's controls exist and writes its copy back
// when it is destroyed with the window.
class SettingsComponent {
public:
    explicit SettingsComponent(const QString& filePath);
    ~SettingsComponent();
    IniFileStorage& storage() { return *storage_; }

private:
    std::unique_ptr<IniFileStorage> storage_;
};

// The window-state store of the window: switched off, it stores and restores
// nothing.
struct FormStorage {
    bool active = false;
};

// The main window: a dark window with the effect library on the left and the
// photo with its two views on the right. Its handlers are the program's
// operations; each reads the controls, calls the engine and shows the result.
class TFen_Teintelle : public QWidget {
    Q_OBJECT
public:
    // programFile: full path of the program file; the window scans its folder
    // at start-up. dialogs: every modal box goes through it.
    TFen_Teintelle(UserDialogs& dialogs, const QString& programFile, QWidget* parent = nullptr);
    ~TFen_Teintelle() override;

    // Controls and components, in their order of declaration.
    PathEdit* FichierImage = nullptr;
    TImage32* Image322 = nullptr;
    PushButton* Bt_AnnuleEffet = nullptr;
    std::unique_ptr<SettingsComponent> JvAppIniFileStorage1;
    FormStorage JvFormStorage1;
    TImage32* Image321 = nullptr;
    PathEdit* RepertoireFichiersCube = nullptr;
    QLabel* Label1 = nullptr;
    QLabel* Label2 = nullptr;
    QLabel* Label3 = nullptr;
    PushButton* Bt_SansEffet = nullptr;
    BevelPanel* Panel1 = nullptr;
    PushButton* Bt_Fermer = nullptr;
    QLabel* Label5 = nullptr;
    BevelPanel* Panel_Tables = nullptr;
    PanelSplitter* Splitter1 = nullptr;
    BevelPanel* Panel_Images = nullptr;
    QTreeView* TreeView1 = nullptr;
    QLabel* Label_Infos = nullptr;
    QList<QIcon> ImageList1;

    // Public fields.
    std::int32_t TailleTableLut = 0;
    std::int32_t ResolutionChargee = 0;

    // The root node of the effect tree; invalid when there is none.
    QPersistentModelIndex NoeudRacine;

    // The application title: caption of the notice and error boxes.
    const QString& applicationTitle() const { return title_; }
    const QString& programFolder() const { return programFolder_; }
    const TBitmap32* imageTraitee() const { return ImageTraitee.get(); }

    // Handlers of the event table.
    void FormCreate();
    void FormDestroy();
    void Bt_FermerClick();
    void RepertoireFichiersCubeChange();
    void TreeView1Change();
    void FichierImageChange();
    void Bt_SansEffetMouseEnter();
    void Bt_SansEffetMouseLeave();
    void Image322DblClick();
    // The large view's context menu and Ctrl+S: the photo at full size with
    // the effect applied, into a file the user names.
    void EnregistrerPhotoAvecEffet();
    QAction* exportAction() const { return exportAction_; }

    void ChargeIcones(const QString& libraryPath);
    bool ChargeTableLut(const std::string& path);
    void AppliqueLut(const TBitmap32& source, TBitmap32& destination);
    EffectTreeModel& effectTree() { return *effectTree_; }
    const LutTable& tableLut() const { return TableLut; }

    // Runs one handler: an error that escapes it is shown in the error box
    // and the program goes on.
    void runHandler(const std::function<void()>& handler);

protected:
    void resizeEvent(QResizeEvent* event) override;
    void showEvent(QShowEvent* event) override;
    void closeEvent(QCloseEvent* event) override;
    bool eventFilter(QObject* watched, QEvent* event) override;

private:
    void createControls();
    void createBottomBar();
    void createEffectPanel();
    void createPhotoPanel();
    void connectEvents();
    void layoutPanels();
    void setTablesWidth(int width);
    void setStatus(const QString& text);
    ScanEnd scanEffectFolder(const std::string& searchPath);
    void browseForPhoto();
    void browseForEffectFolder();
    void showError(const QString& message);
    void createExportAction();
    void keepAppliedEffect(const std::string& path);
    void updateExportAction();
    void exportFinished(const QString& failure);

    UserDialogs& dialogs_;
    // The photo decoders of the full-size path and of the export (from its
    // thread): BMP, icons, TIFF, metafiles, and PNG and WebP for the export.
    const PhotoDecoders photoDecoders_;
    QString title_;
    QString programFolder_;
    int tablesWidth_ = 353;
    QString lastPhotoFolder_;
    QString lastEffectFolder_;
    bool pointerOnCompareButton_ = false;
    bool scanRunning_ = false;       // the effect folder's scan is under way
    bool folderTextChanged_ = false; // the effect folder field changed during it
    bool closing_ = false;           // closed, not shown again since

    EffectTreeModel* effectTree_ = nullptr;
    LutTable TableLut;
    std::unique_ptr<TBitmap32> ImageTraitee;
    float coef = 0.0f;

    // The export: the photo last loaded, the table and effect last applied
    // since (a copy, so that a later selection cannot change it under a
    // running export), and the export running off the window's thread.
    QAction* exportAction_ = nullptr;
    std::string loadedPhoto_;
    std::shared_ptr<const LutTable> appliedTable_;
    std::string appliedEffect_;
    std::thread exportThread_;
    bool exporting_ = false;
    QProgressDialog* exportProgress_ = nullptr;
};

// The icon library the tree's icons come from: here the generic icons of the
// Fusion style, which every Qt build carries, named as "style:Fusion".
QString CheminShell32();

} // namespace teintelle
