// teintelle-cli export: photos at their full size through an effect, as
// files to keep; one photo to a file, or many into a folder, on every core.
#include "cli/Arguments.h"
#include "cli/Commands.h"
#include "cli/PhotoOutput.h"

#include "common/Error.h"
#include "export/PhotoExport.h"
#include "imaging/BmpDirect.h"
#include "imaging/PhotoFile.h"
#include "imaging/PhotoLoading.h"
#include "lut/EffectRead.h"
#include "lut/LutTable.h"

#include <algorithm>
#include <atomic>
#include <charconv>
#include <chrono>
#include <condition_variable>
#include <cstdio>
#include <map>
#include <mutex>
#include <optional>
#include <string>
#include <thread>
#include <vector>

#include <sys/stat.h>
#include <unistd.h>

namespace {

using namespace teintelle;
using namespace teintelle::cli;

constexpr const char* kUsage =
    "usage: teintelle-cli export EFFECT.cube PHOTO... -o OUT [--strength S] [--quality Q]\n"
    "                            [--format jpg|png|tif] [--jobs N] [--force]\n";
constexpr const char* kHelp =
    "usage: teintelle-cli export EFFECT.cube PHOTO... -o OUT [--strength S] [--quality Q]\n"
    "                            [--format jpg|png|tif] [--jobs N] [--force]\n"
    "\n"
    "Applies the effect to each photo at its full size, exactly as the window\n"
    "maps a pixel, and writes the result. With one photo, OUT is the file to\n"
    "write, unless it names a folder; with several, OUT is a folder that exists\n"
    "and each photo gives PHOTONAME-EFFECTNAME.EXT there.\n"
    "\n"
    "Photos: JPEG (whatever its name), BMP, ICO, TIFF, WMF, EMF, PNG, WebP.\n"
    "\n"
    "  -o OUT          the output file, or folder\n"
    "  --strength S    0 to 1 (default 1): each channel becomes o + (g - o) x S,\n"
    "                  rounded half up; 0 keeps the photo's colours\n"
    "  --quality Q     JPEG quality, 1 to 100 (default 95)\n"
    "  --format F      jpg, png or tif; by default OUT's extension, or jpg into a\n"
    "                  folder. JPEG keeps the photo's chroma subsampling (4:4:4\n"
    "                  when it has none); TIFF is 8-bit RGB, deflated\n"
    "  --jobs N        photos exported at once (default: one per core); with\n"
    "                  fewer photos than N, a photo uses two cores\n"
    "  --force         replace existing files (never the photo itself)\n"
    "\n"
    "EXIF (orientation included: pixels are not turned), XMP, IPTC and the ICC\n"
    "profile go into a JPEG; the ICC profile and XMP into PNG and TIFF. Each\n"
    "file is written beside its final name and renamed once whole, so a failed\n"
    "photo leaves nothing. After a second, progress shows on standard error.\n"
    "\n"
    "Example:\n"
    "  teintelle-cli export Chaud.cube ~/Photos/*.jpg -o ~/Photos/chaud --strength 0.8\n"
    "\n"
    "Exit status: 0 every photo written, 1 the effect could not be read or a\n"
    "photo failed (each named with its reason; the others go on), 64 usage error.\n";

const ArgumentRules kRules{
    "export", kUsage, kHelp, {"--force"}, {"-o", "--strength", "--quality", "--format", "--jobs"}, {"-o"}, 2,
    std::size_t(-1)};

bool parseStrength(const std::string& text, double& value)
{
    const auto [end, error] = std::from_chars(text.data(), text.data() + text.size(), value);
    return error == std::errc() && end == text.data() + text.size() && value >= 0.0 && value <= 1.0;
}

bool isFolder(const std::string& path)
{
    struct stat info {};
    return ::stat(path.c_str(), &info) == 0 && S_ISDIR(info.st_mode);
}

struct Job {
    std::string photo;
    std::string output;
};

// What the command asked for, once the arguments are read.
struct Plan {
    std::vector<Job> jobs;
    ExportOptions options;
    unsigned threads = 1;
};

std::optional<int> makePlan(const Arguments& arguments, Plan& plan)
{
    const std::string& effect = arguments.words[0];
    const std::vector<std::string> photos(arguments.words.begin() + 1, arguments.words.end());
    const std::string& out = arguments.value("-o");
    ExportOptions& options = plan.options;
    options.overwrite = arguments.has("--force");
    if (arguments.has("--strength") && !parseStrength(arguments.value("--strength"), options.strength))
        return usageError(kRules, "--strength attend un nombre de 0 à 1");
    if (arguments.has("--quality") && !parseInteger(arguments.value("--quality"), 1, 100, options.quality))
        return usageError(kRules, "--quality attend un entier de 1 à 100");
    int jobs = int(std::max(1u, std::thread::hardware_concurrency()));
    if (arguments.has("--jobs") && !parseInteger(arguments.value("--jobs"), 1, 256, jobs))
        return usageError(kRules, "--jobs attend un entier de 1 à 256");
    plan.threads = unsigned(std::min<std::size_t>(std::size_t(jobs), photos.size()));
    // Fewer photos than jobs: a job's core left over decodes while the
    // photo's encoder works. --jobs 1 keeps to one core.
    options.overlap = plan.threads < unsigned(jobs);

    const bool intoFolder = photos.size() > 1 || isFolder(out);
    std::optional<ExportFormat> format;
    if (arguments.has("--format")) {
        format = exportFormatForName("." + arguments.value("--format"));
        if (!format)
            return usageError(kRules, "--format attend jpg, png ou tif");
    } else if (!intoFolder) {
        format = exportFormatForName(out);
        if (!format)
            return usageError(kRules, "l'extension de « " + out + " » ne dit pas le format : --format jpg, png ou tif");
    }
    options.format = format.value_or(ExportFormat::Jpeg);
    if (photos.size() > 1 && !isFolder(out))
        return usageError(kRules, "avec plusieurs photos, -o nomme un dossier qui existe");
    for (const std::string& photo : photos)
        plan.jobs.push_back({photo, intoFolder ? out + "/" + exportName(photo, effect, options.format) : out});
    return std::nullopt;
}

// The effect read as the window reads it; its problem on standard error.
bool readEffect(const std::string& path, LutTable& table, std::int32_t& taille)
{
    const EffectRead read = readEffectFile(path, table, taille);
    if (read.outcome == EffectReadOutcome::Missing)
        std::fprintf(stderr, "teintelle-cli export: aucun fichier « %s »\n", path.c_str());
    else if (!read.loaded())
        std::fprintf(stderr, "teintelle-cli export: « %s » : %s\n", path.c_str(), read.message.c_str());
    return read.loaded();
}

// Whether the engine leaves the photo to the platform's readers: neither a
// JPEG (by its content or its name) nor a 32-bit uncompressed BMP. The file
// is opened as the export opens it, so that a pipe or a held file cannot
// make the command wait here.
bool needsPlatform(const std::string& photo)
{
    const std::string extension = lowerCaseExtension(photo);
    if (extension == "jpg" || extension == "jpeg")
        return false;
    std::uint8_t header[kBmpHeaderSize] = {};
    std::size_t got = 0;
    try {
        const PhotoFileHandle file = openPhotoFile(photo);
        got = std::fread(header, 1, sizeof header, file.get());
    } catch (const Error&) {
        return false; // its export fails before any reader is asked
    }
    const bool jpeg = got >= 3 && header[0] == 0xFF && header[1] == 0xD8 && header[2] == 0xFF;
    return !jpeg && !(got == sizeof header && startsAsBmp(header) && isDirectBmp(header));
}

// The photos shared among the threads, and what each has done so far.
class WorkQueue {
public:
    WorkQueue(const Plan& plan, const LutTable& table, std::int32_t taille, const PhotoDecoders& decoders)
        : plan_(plan), table_(table), taille_(taille), decoders_(decoders), fractions_(plan.threads)
    {
    }

    void work(unsigned worker)
    {
        for (std::size_t i; (i = next_++) < plan_.jobs.size();) {
            const Job& job = plan_.jobs[i];
            ExportOptions options = plan_.options;
            options.progress = [this, worker](double f) { fractions_[worker] = f; };
            std::string failure;
            // Two photos of one name in a batch would write one file.
            if (const auto first = firstWithOutput(i); first != i)
                failure = "même nom de sortie que « " + plan_.jobs[first].photo + " »";
            else {
                try {
                    exportPhoto(job.photo, job.output, table_, taille_, options, decoders_);
                } catch (const Error& error) {
                    failure = error.what();
                }
            }
            fractions_[worker] = 0.0;
            std::lock_guard<std::mutex> hold(lock_);
            ++done_;
            if (!failure.empty()) {
                ++failed_;
                std::fprintf(stderr, "%steintelle-cli export: « %s » : %s\n", clearLine(), job.photo.c_str(),
                             failure.c_str());
            }
            changed_.notify_all();
        }
    }

    // Waits for the threads; after a second, shows the progress now and then.
    void watch()
    {
        using clock = std::chrono::steady_clock;
        const auto start = clock::now();
        std::unique_lock<std::mutex> hold(lock_);
        while (done_ < plan_.jobs.size()) {
            changed_.wait_for(hold, std::chrono::milliseconds(terminal_ ? 200 : 1000));
            if (clock::now() - start < std::chrono::seconds(1) || done_ == plan_.jobs.size())
                continue;
            double sum = double(done_);
            for (const auto& f : fractions_)
                sum += f.load();
            std::fprintf(stderr, "%steintelle-cli export : %3d %% (%zu/%zu photos)%s", terminal_ ? "\r" : "",
                         int(100.0 * sum / double(plan_.jobs.size())), done_, plan_.jobs.size(),
                         terminal_ ? "" : "\n");
            shown_ = true;
        }
        if (shown_ && terminal_)
            std::fputs(clearLine(), stderr);
    }

    std::size_t failed() const { return failed_; }

private:
    const char* clearLine() const { return shown_ && terminal_ ? "\r\033[K" : ""; }

    std::size_t firstWithOutput(std::size_t i) const
    {
        for (std::size_t k = 0; k < i; ++k)
            if (plan_.jobs[k].output == plan_.jobs[i].output)
                return k;
        return i;
    }

    const Plan& plan_;
    const LutTable& table_;
    std::int32_t taille_;
    const PhotoDecoders& decoders_;
    std::atomic<std::size_t> next_{0};
    std::vector<std::atomic<double>> fractions_;
    std::mutex lock_;
    std::condition_variable changed_;
    std::size_t done_ = 0;
    std::size_t failed_ = 0;
    bool shown_ = false;
    const bool terminal_ = ::isatty(2) != 0;
};

int runExport(const std::vector<std::string>& args)
{
    Arguments arguments;
    if (const auto status = parseArguments(args, kRules, arguments))
        return *status;
    Plan plan;
    if (const auto status = makePlan(arguments, plan))
        return *status;
    LutTable table;
    std::int32_t taille = 0;
    if (!readEffect(arguments.words[0], table, taille))
        return 1;

    PhotoDecoders decoders;
    // The platform's start costs a tenth of a second: only for photos that need it.
    if (std::any_of(plan.jobs.begin(), plan.jobs.end(), [](const Job& job) { return needsPlatform(job.photo); }))
        decoders = photoDecoders();
    WorkQueue queue(plan, table, taille, decoders);
    std::vector<std::thread> threads;
    for (unsigned t = 0; t < plan.threads; ++t)
        threads.emplace_back([&queue, t] { queue.work(t); });
    queue.watch();
    for (auto& thread : threads)
        thread.join();
    return queue.failed() == 0 ? 0 : 1;
}

const bool registered =
    registerCommand({"export", "apply an effect to photos at their full size, into files to keep", &runExport});

} // namespace
