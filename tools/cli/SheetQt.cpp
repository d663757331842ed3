// teintelle-cli sheet with Qt: the effects applied on every core, the
// thumbnails and their labels painted, the sheet written.
#include "cli/Sheet.h"

#include "cli/PhotoOutput.h"
#include "cli/SheetEffects.h"
#include "cli/SheetPng.h"

#include "imaging/PhotoLoading.h"
#include "library/AnalyseRepertoire.h"

#include <algorithm>
#include <chrono>
#include <cmath>
#include <cstdio>
#include <string>
#include <sys/stat.h>
#include <vector>

#include <QFont>
#include <QFontMetrics>
#include <QImage>
#include <QPainter>
#include <QtGlobal>

namespace teintelle::cli {

namespace {

bool namesAFolder(const std::string& path)
{
    struct stat info {};
    return ::stat(path.c_str(), &info) == 0 && S_ISDIR(info.st_mode);
}

std::string fileName(const std::string& path)
{
    const auto slash = path.find_last_of('/');
    return slash == std::string::npos ? path : path.substr(slash + 1);
}

// Shows "k/n effets" on standard error once the work has lasted a second.
class Progress {
public:
    explicit Progress(std::chrono::steady_clock::time_point start) : start_(start) {}
    ~Progress()
    {
        if (shown_)
            std::fputc('\n', stderr);
    }
    void update(std::size_t done, std::size_t total)
    {
        if (!shown_ && std::chrono::steady_clock::now() - start_ < std::chrono::seconds(1))
            return;
        shown_ = true;
        std::fprintf(stderr, "\rteintelle-cli sheet : %zu/%zu effets", done, total);
        std::fflush(stderr);
    }

private:
    std::chrono::steady_clock::time_point start_;
    bool shown_ = false;
};

struct Layout {
    static constexpr int kMargin = 16;
    static constexpr int kGap = 16;
    int boxWidth = 0, boxHeight = 0, labelHeight = 0, columns = 1, rows = 1;

    int cellX(std::size_t index) const { return kMargin + int(index % std::size_t(columns)) * (boxWidth + kGap); }
    int cellY(std::size_t index) const
    {
        return kMargin + int(index / std::size_t(columns)) * (boxHeight + labelHeight + kGap);
    }
    int width() const { return 2 * kMargin + columns * boxWidth + (columns - 1) * kGap; }
    int height() const { return 2 * kMargin + rows * (boxHeight + labelHeight) + (rows - 1) * kGap; }
};

// Qt's note that XDG_RUNTIME_DIR is not set (the usual case on a machine
// without a desktop session) tells the user nothing about the sheet.
QtMessageHandler qtDefaultHandler = nullptr;
void quietHandler(QtMsgType type, const QMessageLogContext& context, const QString& message)
{
    if (type != QtFatalMsg && message.contains(QLatin1String("XDG_RUNTIME_DIR")))
        return;
    if (qtDefaultHandler != nullptr)
        qtDefaultHandler(type, context, message);
}

constexpr QRgb kBackground = 0xFF202020;
constexpr QRgb kEmptyCell = 0xFF3A3A3A;
constexpr QRgb kLabel = 0xFFE0E0E0;
constexpr QRgb kReason = 0xFFFF9A8A;

void copyPicture(const TBitmap32& picture, TBitmap32& sheet, int left, int top)
{
    for (int y = 0; y < picture.Height(); ++y)
        for (int x = 0; x < picture.Width(); ++x)
            sheet.pixel(left + x, top + y) = picture.pixel(x, y) | 0xFF000000u;
}

// Paints the cells and their labels onto the sheet and lists them on
// standard output.
void paintSheet(TBitmap32& sheet, const Layout& layout, const QFont& font, const std::vector<std::string>& labels,
                const std::vector<std::string>& files, const std::vector<const SheetCell*>& cells)
{
    QImage image(reinterpret_cast<uchar*>(sheet.Bits()), sheet.Width(), sheet.Height(),
                 qsizetype(sheet.Width()) * 4, QImage::Format_RGB32);
    image.fill(kBackground);
    for (std::size_t i = 0; i < cells.size(); ++i) {
        const int x = layout.cellX(i), y = layout.cellY(i);
        if (cells[i]->failure.empty()) {
            // The thumbnail is centred in its box, as a view centres a picture.
            const int left = x + (layout.boxWidth - cells[i]->picture.Width()) / 2;
            const int top = y + (layout.boxHeight - cells[i]->picture.Height()) / 2;
            copyPicture(cells[i]->picture, sheet, left, top);
            std::printf("%d %d %d %d\t%s\n", left, top, cells[i]->picture.Width(), cells[i]->picture.Height(),
                        files[i].c_str());
        } else {
            std::printf("%d %d %d %d\t%s\t%s\n", x, y, layout.boxWidth, layout.boxHeight, files[i].c_str(),
                        cells[i]->failure.c_str());
        }
    }
    QPainter painter(&image);
    painter.setFont(font);
    const QFontMetrics metrics(font);
    for (std::size_t i = 0; i < cells.size(); ++i) {
        const int x = layout.cellX(i), y = layout.cellY(i);
        if (!cells[i]->failure.empty()) {
            const QRect box(x, y, layout.boxWidth, layout.boxHeight);
            painter.fillRect(box, QColor::fromRgb(kEmptyCell));
            painter.setPen(QColor::fromRgb(kReason));
            painter.drawText(box.adjusted(8, 8, -8, -8), Qt::AlignCenter | Qt::TextWordWrap,
                             QString::fromStdString(cells[i]->failure));
        }
        painter.setPen(QColor::fromRgb(kLabel));
        const QString label =
            metrics.elidedText(QString::fromUtf8(labels[i].data(), qsizetype(labels[i].size())), Qt::ElideMiddle,
                               layout.boxWidth);
        painter.drawText(QRect(x, y + layout.boxHeight, layout.boxWidth, layout.labelHeight),
                         Qt::AlignHCenter | Qt::AlignVCenter, label);
    }
}

// PNG through the sheet's own writer (see SheetPng.h), PPM for any other
// name. Returns an error message, empty on success.
std::string writeSheet(const TBitmap32& sheet, const std::string& path)
{
    if (endsWithPng(path))
        return writeSheetPng(sheet, path);
    return replaceFile(path, [&](OutputFile& out) { writePpm(sheet, out); });
}

} // namespace

int makeSheet(const SheetRequest& arguments)
{
    Progress progress(std::chrono::steady_clock::now());
    if (!namesAFolder(arguments.folder)) {
        std::fprintf(stderr, "teintelle-cli sheet: aucun dossier « %s »\n", arguments.folder.c_str());
        return kMissing;
    }
    if (!namesRegularFile(arguments.photo)) {
        std::fprintf(stderr, "teintelle-cli sheet: aucun fichier « %s »\n", arguments.photo.c_str());
        return kMissing;
    }
    // The effects are read while the photo decodes.
    std::vector<SheetEffect> effects;
    try {
        effects = effectsOfFolder(arguments.folder);
    } catch (const Error& error) {
        // The scan passed its budget of nodes, as the window's tree would.
        std::fprintf(stderr, "teintelle-cli sheet: « %s » : %s (plus de %zu éléments)\n", arguments.folder.c_str(),
                     error.what(), kScanNodeBudget);
        return kNotAvailable;
    }
    SheetCell photoCell;
    SheetRenderer renderer(effects);
    TBitmap32 source; // the small view's surface
    if (ChargePhotoReduite(arguments.photo, source) != 4) {
        std::fprintf(stderr, "teintelle-cli sheet: « %s » ne se décode pas en JPEG au quart de sa taille\n",
                     arguments.photo.c_str());
        return kNotDecoded;
    }
    sampleAsShown(source, arguments.size, photoCell.picture);
    renderer.publish(photoCell.picture);

    qtDefaultHandler = qInstallMessageHandler(quietHandler);
    startOffscreenGui();
    const std::vector<SheetCell>& effectCells =
        renderer.finish([&](std::size_t done) { progress.update(done, effects.size()); });

    std::vector<std::string> labels{fileName(arguments.photo) + " (sans effet)"};
    std::vector<std::string> files{arguments.photo};
    std::vector<const SheetCell*> cells{&photoCell};
    for (std::size_t i = 0; i < effects.size(); ++i) {
        labels.push_back(effects[i].name);
        files.push_back(effects[i].path);
        cells.push_back(&effectCells[i]);
    }

    QFont font;
    font.setPixelSize(std::clamp(arguments.size / 18, 10, 18));
    Layout layout;
    layout.boxWidth = std::max(photoCell.picture.Width(), 64);
    layout.boxHeight = std::max(photoCell.picture.Height(), 48);
    layout.labelHeight = QFontMetrics(font).height() + 8;
    layout.columns = arguments.columns > 0 ? arguments.columns
                                           : int(std::ceil(std::sqrt(double(cells.size()))));
    layout.columns = std::min<int>(layout.columns, int(cells.size()));
    layout.rows = int((cells.size() + std::size_t(layout.columns) - 1) / std::size_t(layout.columns));

    TBitmap32 sheet;
    try {
        sheet.SetSize(layout.width(), layout.height());
    } catch (const Error& error) {
        std::fprintf(stderr, "teintelle-cli sheet: planche trop grande (%d x %d) : %s\n", layout.width(),
                     layout.height(), error.what());
        return kNotAvailable;
    }
    paintSheet(sheet, layout, font, labels, files, cells);
    std::fflush(stdout);

    if (const std::string problem = writeSheet(sheet, arguments.out); !problem.empty()) {
        std::fprintf(stderr, "teintelle-cli sheet: %s\n", problem.c_str());
        return kCannotWrite;
    }
    return kDone;
}

} // namespace teintelle::cli
