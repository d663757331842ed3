#include "window/TFen_Teintelle.h"

#include "window/AnchorLayout.h"
#include "common/Conventions.h"
#include "window/ProgramIcon.h"
#include "window/UserDialogs.h"
#include "window/Widgets.h"
#include "settings/IniFileStorage.h"
#include "common/Error.h"
#include "window/TImage32.h"
#include "window/EffectTreeModel.h"
#include "window/decoders/PlatformDecoders.h"

#include <QApplication>
#include <QDir>
#include <QEvent>
#include <QFile>
#include <QFileInfo>
#include <QHeaderView>
#include <QLabel>
#include <QLocale>
#include <QStyle>
#include <QStyleFactory>
#include <QRegularExpression>
#include <QTreeView>

#include <clocale>
#include <new>

namespace teintelle {

namespace {

using A = AnchorLayout::Anchor;

constexpr QSize kDesignClient{799, 341};
constexpr QSize kMinimumClient{794, 341};
constexpr int kBottomBarHeight = 41;
constexpr QSize kTablesDesign{353, 300};
constexpr QSize kImagesDesign{441, 300};
constexpr QSize kBottomBarClientDesign{795, 37};

QFont windowFont(int pixelSize)
{
    QFont font(QStringLiteral("Tahoma"));
    font.setStyleHint(QFont::SansSerif);
    font.setPixelSize(pixelSize);
    return font;
}

QLabel* autoSizedLabel(const QString& name, const QString& text, QWidget* parent, QPoint position)
{
    auto* label = new QLabel(text, parent);
    label->setObjectName(name);
    label->move(position);
    label->adjustSize();
    return label;
}

} // namespace

SettingsComponent::SettingsComponent(const QString& filePath)
    : storage_(std::make_unique<IniFileStorage>(QFile::encodeName(filePath).toStdString()))
{
    storage_->read();
}

SettingsComponent::~SettingsComponent() { storage_->write(); }

QString CheminShell32() { return QStringLiteral("style:Fusion"); }

TFen_Teintelle::TFen_Teintelle(UserDialogs& dialogs, const QString& programFile, QWidget* parent)
    : QWidget(parent), dialogs_(dialogs), photoDecoders_(platformPhotoDecoders())
{
    const QFileInfo program(programFile);
    title_ = QString::fromStdString(teintelle::applicationTitle(program.fileName().toStdString()));
    programFolder_ = program.absolutePath();
    if (!programFolder_.endsWith(QLatin1Char('/')))
        programFolder_ += QLatin1Char('/');

    setObjectName(QStringLiteral("Fen_Teintelle"));
    setWindowTitle(QStringLiteral("La Teintelle"));
    setWindowIcon(programIcon());
    setFont(windowFont(11));
    resize(kDesignClient);
    setMinimumSize(kMinimumClient);

    createControls();
    JvAppIniFileStorage1 = std::make_unique<SettingsComponent>(programFolder_ + QStringLiteral("Teintelle.ini"));
    connectEvents();
    runHandler([this] { FormCreate(); });
}

TFen_Teintelle::~TFen_Teintelle()
{
    // A running export finishes first: it reads the photo and writes its file.
    if (exportThread_.joinable())
        exportThread_.join();
    hide();
    FormDestroy();
}

void TFen_Teintelle::runHandler(const std::function<void()>& handler)
{
    try {
        handler();
    } catch (const Error& error) {
        showError(QString::fromUtf8(error.what()));
    } catch (const std::bad_alloc&) {
        showError(QString::fromUtf8(kOutOfMemory));
    } catch (const std::exception& error) {
        showError(QString::fromUtf8(error.what()));
    }
}

void TFen_Teintelle::showError(const QString& message)
{
    dialogs_.showError(title_, QString::fromStdString(errorBoxText(message.toStdString())));
}

void TFen_Teintelle::createControls()
{
    createBottomBar();
    createEffectPanel();
    Splitter1 = new PanelSplitter(
        QStringLiteral("Splitter1"), [this] { return tablesWidth_; }, [this] { return width(); },
        [this](int width) { setTablesWidth(width); }, this);
    createPhotoPanel();
    setTabOrder(Bt_Fermer, RepertoireFichiersCube);
    setTabOrder(RepertoireFichiersCube, TreeView1);
    setTabOrder(TreeView1, FichierImage);
    setTabOrder(FichierImage, Bt_SansEffet);
    setTabOrder(Bt_SansEffet, Bt_AnnuleEffet);
    layoutPanels();
}

void TFen_Teintelle::createBottomBar()
{
    Panel1 = new BevelPanel(QStringLiteral("Panel1"), {.border = true, .innerBevelRaised = true}, this);
    auto* anchors = new AnchorLayout(Panel1, kBottomBarClientDesign);
    anchors->setContentsMargins(Panel1->contentsMargins());
    const QPoint inset(Panel1->clientInset(), Panel1->clientInset());

    Label5 = autoSizedLabel(QStringLiteral("Label5"), QStringLiteral("Teintelle 0.1"),
                            Panel1, QPoint(8, 16) + inset);
    QFont credit = Label5->font();
    credit.setItalic(true);
    Label5->setFont(credit);
    Label5->adjustSize();

    Label_Infos = autoSizedLabel(QStringLiteral("Label_Infos"), QString(), Panel1, QPoint(166, 9) + inset);
    Label_Infos->setFont(windowFont(13));
    QPalette yellow = Label_Infos->palette();
    yellow.setColor(QPalette::WindowText, Qt::yellow);
    Label_Infos->setPalette(yellow);
    setStatus(QStringLiteral("Suivi des actions..."));

    Bt_Fermer = new PushButton(QStringLiteral("Bt_Fermer"), QStringLiteral("Fermer"), Panel1);
    anchors->addAnchored(Bt_Fermer, {676, 6, 102, 25}, A::Top | A::Right);
}

void TFen_Teintelle::createEffectPanel()
{
    Panel_Tables = new BevelPanel(QStringLiteral("Panel_Tables"), {.outerBevelRaised = true}, this);
    auto* anchors = new AnchorLayout(Panel_Tables, kTablesDesign);

    Label1 = autoSizedLabel(QStringLiteral("Label1"), QStringLiteral("Répertoire des fichiers d'effets : "),
                            Panel_Tables, {10, 4});
    RepertoireFichiersCube = new PathEdit(QStringLiteral("RepertoireFichiersCube"), PathEdit::Kind::Folder, Panel_Tables);
    anchors->addAnchored(RepertoireFichiersCube, {10, 23, 327, 21}, A::Left | A::Top | A::Right);

    TreeView1 = new QTreeView(Panel_Tables);
    TreeView1->setObjectName(QStringLiteral("TreeView1"));
    TreeView1->setHeaderHidden(true);
    TreeView1->setIndentation(19);
    TreeView1->setSortingEnabled(false);
    TreeView1->setIconSize(QSize(16, 16));
    TreeView1->setEditTriggers(QAbstractItemView::SelectedClicked | QAbstractItemView::EditKeyPressed);
    TreeView1->setExpandsOnDoubleClick(true);
    TreeView1->setSelectionMode(QAbstractItemView::SingleSelection);
    effectTree_ = new EffectTreeModel(this);
    TreeView1->setModel(effectTree_);
    effectTree_->followSelection(TreeView1->selectionModel());
    anchors->addAnchored(TreeView1, {10, 55, 327, 232}, A::Left | A::Top | A::Right | A::Bottom);
}

void TFen_Teintelle::createPhotoPanel()
{
    Panel_Images = new BevelPanel(QStringLiteral("Panel_Images"), {.outerBevelRaised = true}, this);
    auto* anchors = new AnchorLayout(Panel_Images, kImagesDesign);

    Label2 = autoSizedLabel(QStringLiteral("Label2"), QStringLiteral("Photo à traiter : "), Panel_Images, {24, 4});
    FichierImage = new PathEdit(QStringLiteral("FichierImage"), PathEdit::Kind::File, Panel_Images);
    anchors->addAnchored(FichierImage, {9, 21, 425, 21}, A::Left | A::Top);

    Bt_SansEffet = new PushButton(QStringLiteral("Bt_SansEffet"), QStringLiteral("Voir sans l'effet"), Panel_Images);
    // Left outside the theme: the plain look of a platform button.
    Bt_SansEffet->setPalette(QApplication::style()->standardPalette());
    Bt_SansEffet->setMouseTracking(true);
    Bt_SansEffet->installEventFilter(this);
    anchors->addAnchored(Bt_SansEffet, {9, 48, 144, 19}, A::Left | A::Top);

    Label3 = new QLabel(QStringLiteral("Photo "), Panel_Images);
    Label3->setObjectName(QStringLiteral("Label3"));
    anchors->addAnchored(Label3, {252, 51, 170, 13}, A::Top | A::Right);

    Image322 = new TImage32(Panel_Images);
    Image322->setObjectName(QStringLiteral("Image322"));
    anchors->addAnchored(Image322, {9, 73, 234, 217}, A::Left | A::Top | A::Right | A::Bottom);

    Image321 = new TImage32(Panel_Images);
    Image321->setObjectName(QStringLiteral("Image321"));
    anchors->addAnchored(Image321, {249, 73, 184, 184}, A::Top | A::Right);

    Bt_AnnuleEffet = new PushButton(QStringLiteral("Bt_AnnuleEffet"), QStringLiteral("Annuler l'effet"), Panel_Images);
    anchors->addAnchored(Bt_AnnuleEffet, {249, 263, 105, 25}, A::Top | A::Right);
}

void TFen_Teintelle::connectEvents()
{
    connect(Bt_Fermer, &QPushButton::clicked, this, [this] { runHandler([this] { Bt_FermerClick(); }); });
    connect(RepertoireFichiersCube, &QLineEdit::textChanged, this,
            [this] { runHandler([this] { RepertoireFichiersCubeChange(); }); });
    connect(FichierImage, &QLineEdit::textChanged, this, [this](const QString& text) {
        // A path never holds a line break: the text is cut before the first
        // one, and the change of the cut text runs the handler.
        const auto lineBreak = text.indexOf(QRegularExpression(QStringLiteral("[\r\n]")));
        if (lineBreak >= 0) {
            FichierImage->setText(text.left(lineBreak));
            return;
        }
        runHandler([this] { FichierImageChange(); });
    });
    connect(TreeView1->selectionModel(), &QItemSelectionModel::currentChanged, this,
            [this] { runHandler([this] { TreeView1Change(); }); });
    connect(FichierImage, &PathEdit::browseRequested, this, [this] { runHandler([this] { browseForPhoto(); }); });
    connect(RepertoireFichiersCube, &PathEdit::browseRequested, this,
            [this] { runHandler([this] { browseForEffectFolder(); }); });
    connect(Image322, &TImage32::doubleClicked, this, [this] { runHandler([this] { Image322DblClick(); }); });
    connect(Bt_AnnuleEffet, &QPushButton::clicked, this, [this] { runHandler([this] { Image322DblClick(); }); });
    createExportAction();
}

bool TFen_Teintelle::eventFilter(QObject* watched, QEvent* event)
{
    if (watched != Bt_SansEffet)
        return QWidget::eventFilter(watched, event);
    // Enter and leave count only while the button is enabled; when it becomes
    // enabled under a resting pointer, the next movement counts as entering.
    switch (event->type()) {
    case QEvent::Enter:
    case QEvent::MouseMove:
        if (Bt_SansEffet->isEnabled() && !pointerOnCompareButton_) {
            pointerOnCompareButton_ = true;
            runHandler([this] { Bt_SansEffetMouseEnter(); });
        }
        break;
    case QEvent::Leave:
        if (Bt_SansEffet->isEnabled() && pointerOnCompareButton_)
            runHandler([this] { Bt_SansEffetMouseLeave(); });
        pointerOnCompareButton_ = false;
        break;
    case QEvent::EnabledChange:
        if (!Bt_SansEffet->isEnabled())
            pointerOnCompareButton_ = false;
        break;
    default:
        break;
    }
    return QWidget::eventFilter(watched, event);
}

void TFen_Teintelle::resizeEvent(QResizeEvent* event)
{
    QWidget::resizeEvent(event);
    layoutPanels();
}

void TFen_Teintelle::showEvent(QShowEvent* event)
{
    closing_ = false;
    QWidget::showEvent(event);
}

void TFen_Teintelle::closeEvent(QCloseEvent* event)
{
    // A scan under way stops at its next check.
    closing_ = true;
    QWidget::closeEvent(event);
}

void TFen_Teintelle::layoutPanels()
{
    const int above = height() - kBottomBarHeight;
    Panel1->setGeometry(0, above, width(), kBottomBarHeight);
    Panel_Tables->setGeometry(0, 0, tablesWidth_, above);
    if (tablesWidth_ == 0 && Panel_Tables->isAncestorOf(focusWidget())) {
        // Hidden, the panel would hand the focus on to the photo field with
        // its text selected, where the next key would replace the path. It
        // goes where the window's first focus goes instead.
        Bt_Fermer->setFocus(Qt::OtherFocusReason);
    }
    Panel_Tables->setVisible(tablesWidth_ > 0);
    Splitter1->setGeometry(tablesWidth_, 0, PanelSplitter::kWidth, above);
    const int imagesLeft = tablesWidth_ + PanelSplitter::kWidth;
    Panel_Images->setGeometry(imagesLeft, 0, std::max(0, width() - imagesLeft), above);
}

void TFen_Teintelle::setTablesWidth(int width)
{
    tablesWidth_ = width;
    layoutPanels();
}

void TFen_Teintelle::setStatus(const QString& text)
{
    Label_Infos->setText(text);
    Label_Infos->adjustSize();
    Label_Infos->repaint();
}

void TFen_Teintelle::FormCreate()
{
    ChargeIcones(CheminShell32());
    effectTree_->setIcons(ImageList1);
    // Numbers are read and written with "." whatever the user's settings.
    std::setlocale(LC_NUMERIC, "C");
    QLocale::setDefault(QLocale::c());
    ImageTraitee = std::make_unique<TBitmap32>();
    Bt_SansEffet->setEnabled(false);
    if (RepertoireFichiersCube->text().isEmpty())
        RepertoireFichiersCube->setText(programFolder_);
}

void TFen_Teintelle::FormDestroy() { ImageTraitee.reset(); }

void TFen_Teintelle::Bt_FermerClick() { close(); }

namespace {

// The icon each number of the shell's icon library stands for in the style.
std::optional<QStyle::StandardPixmap> styleIcon(int shellNumber)
{
    switch (shellNumber) {
    case 0: return QStyle::SP_FileIcon;
    case 2: return QStyle::SP_DesktopIcon;
    case 3: return QStyle::SP_DirClosedIcon;
    case 4: return QStyle::SP_DirOpenIcon;
    case 5:
    case 6:
    case 7: return QStyle::SP_DriveFDIcon;
    case 8:
    case 12: return QStyle::SP_DriveHDIcon;
    case 9:
    case 10: return QStyle::SP_DriveNetIcon;
    case 11:
    case 40: return QStyle::SP_DriveCDIcon;
    case 15: return QStyle::SP_ComputerIcon;
    case 73: return QStyle::SP_TrashIcon;
    default: return std::nullopt;
    }
}

} // namespace

void TFen_Teintelle::ChargeIcones(const QString& libraryPath)
{
    const QString prefix = QStringLiteral("style:");
    if (!libraryPath.startsWith(prefix))
        return;
    std::unique_ptr<QStyle> library(QStyleFactory::create(libraryPath.mid(prefix.size())));
    if (!library)
        return;
    for (std::size_t k = 0; k + 1 < IndexIconesShell.size(); k += 2) {
        const int number = (IndexIconesShell[k] - '0') * 10 + (IndexIconesShell[k + 1] - '0');
        const auto icon = styleIcon(number);
        if (!icon)
            continue;
        const QPixmap small = library->standardIcon(*icon).pixmap(16, 16);
        if (!small.isNull())
            ImageList1.append(QIcon(small));
    }
}

} // namespace teintelle
