#include "console/batch.h"

#include <algorithm>
#include <atomic>
#include <cctype>
#include <cerrno>
#include <filesystem>
#include <mutex>
#include <set>
#include <sstream>
#include <system_error>
#include <thread>
#include <utility>

#include "console/message_texts.h"
#include "console/messages.h"
#include "conversion/conversion.h"
#include "conversion/input_kind.h"
#include "core/file_names.h"
#include "core/output_guard.h"
#include "core/result_codes.h"

namespace tarvex {
namespace {
namespace fs = std::filesystem;

std::string utf8(const fs::path &path) {
    const std::u8string text = path.u8string();
    return {reinterpret_cast<const char *>(text.data()), text.size()};
}

struct Job {
    std::string input;
    fs::path relativeOutput;  // below outDir, before the clash check
    std::string output;
    std::string problem;  // a reason it fails before converting
};

// An extension the format's files carry: such a file found in a folder is one the user meant to
// convert, and is reported when it cannot be.
bool has3dmfExtension(const fs::path &path) {
    std::string extension = utf8(path.extension());
    std::transform(extension.begin(), extension.end(), extension.begin(),
                   [](unsigned char c) { return static_cast<char>(std::tolower(c)); });
    return extension == ".3dmf" || extension == ".3dm" || extension == ".q3d";
}

// Why `input` cannot be converted, "" when it can; `found` when a folder search found it, where
// what is neither 3DMF nor named like it is passed over (textures, notes): `passedOver` is set.
std::string problemOf(const std::string &input, bool found, bool &passedOver) {
    InputKind kind;
    errno = 0;
    const bool looked = look_at_input(input, kind);
    passedOver = found && !has3dmfExtension(path_from_utf8(input)) && (!looked || !kind.is_3dmf);
    // Alone, an input that cannot be opened still gives the empty world; in a batch that world
    // would only hide the failure among the others.
    if (!looked) {
        std::string problem = read_result_message(CNV_CANT_OPEN, input);
        const std::string reason = open_failure_reason(input, errno);
        if (!reason.empty()) problem += "\n  " + reason;
        return problem;
    }
    if (kind.is_3dmf || kind.empty) return {};  // the reader says what is wrong with an empty file
    return kind.looks_like.empty() ? text(Text::not3dmf, {input})
                                   : text(Text::not3dmfLooksLike, {input, kind.looks_like});
}

// Folders first in the order given, their files sorted (after the subfolders that cannot be
// searched, sorted too), so that neither which file keeps a name in a clash nor the order of the
// messages depends on the order the system lists them. Folders are walked with a list of
// their own, so that no depth of them costs stack, and links to folders are not followed.
void collect(const std::string &input, std::vector<Job> &jobs) {
    const fs::path top = path_from_utf8(input);
    std::error_code error;
    bool passedOver = false;
    if (!fs::is_directory(top, error)) {
        jobs.push_back(Job{input, top.filename(), {}, problemOf(input, false, passedOver)});
        return;
    }
    std::vector<fs::path> found;
    std::vector<std::pair<fs::path, std::string>> unsearchable;  // with the system's reason
    std::vector<fs::path> folders{top};
    while (!folders.empty()) {
        const fs::path folder = std::move(folders.back());
        folders.pop_back();
        fs::directory_iterator it(folder, error);
        for (; !error && it != fs::directory_iterator(); it.increment(error)) {
            std::error_code ignored;
            if (it->is_symlink(ignored) ? false : it->is_directory(ignored))
                folders.push_back(it->path());
            else if (it->is_regular_file(ignored))
                found.push_back(it->path());
        }
        if (error) unsearchable.emplace_back(folder, system_reason(error.value()));
    }
    std::sort(unsearchable.begin(), unsearchable.end());
    for (const auto &[folder, reason] : unsearchable)
        jobs.push_back(Job{
            utf8(folder), {}, {}, text(Text::cantSearchFolder, {utf8(folder)}) + "\n  " + reason});
    std::sort(found.begin(), found.end());
    for (const fs::path &file : found) {
        const std::string name = utf8(file);
        std::string problem = problemOf(name, true, passedOver);
        if (!passedOver)
            jobs.push_back(Job{name, file.lexically_relative(top), {}, std::move(problem)});
    }
}

// What a name is compared by: its canonical form where the system gives one, else the absolute
// name as given (a folder above may be closed to us), never nothing.
fs::path comparable(const fs::path &path) {
    std::error_code error;
    fs::path canonical = fs::weakly_canonical(path, error);
    if (!error && !canonical.empty()) return canonical;
    const fs::path absolute = fs::absolute(path, error);
    return (error ? path : absolute).lexically_normal();
}

// Names compared as a case-insensitive file system would, so that a batch writes the same files
// on every system.
std::string clashKey(const fs::path &path) {
    std::string key = utf8(comparable(path));
    std::transform(key.begin(), key.end(), key.begin(),
                   [](unsigned char c) { return static_cast<char>(std::tolower(c)); });
    return key;
}

// More numbered names than this all taken says something is wrong with the names, not that the
// run is large: the file fails rather than the search going on.
constexpr int kMostNumbers = 10000;

// Gives each job its output name; a later job whose name is taken gets a numbered one. Taken are
// the inputs, the folders the outputs go in, folders already there, and earlier outputs: all is
// decided here, before any job starts.
void nameOutputs(std::vector<Job> &jobs, const fs::path &outDir, std::string_view extension,
                 std::ostream &err) {
    std::set<std::string> taken;
    for (const Job &job : jobs) taken.insert(clashKey(path_from_utf8(job.input)));
    for (const Job &job : jobs)
        if (job.problem.empty())
            for (fs::path folder = job.relativeOutput.parent_path(); !folder.empty();
                 folder = folder.parent_path())
                taken.insert(clashKey(outDir / folder));
    for (Job &job : jobs) {
        if (!job.problem.empty()) continue;
        fs::path wanted = outDir / job.relativeOutput;
        wanted.replace_extension(extension);
        fs::path chosen = wanted;
        const auto isTaken = [&](const fs::path &name) {
            std::error_code error;
            return taken.contains(clashKey(name)) || fs::is_directory(name, error);
        };
        int number = 2;
        for (; number <= kMostNumbers && isTaken(chosen); ++number) {
            fs::path name = wanted.stem();
            name += "-";
            name += std::to_string(number);
            name += wanted.extension();
            chosen = wanted.parent_path() / name;
        }
        if (number > kMostNumbers) {
            job.problem = text(Text::errorWriting, {utf8(wanted)}) + '\n' +
                          text(Text::numberedNamesTaken, {std::to_string(kMostNumbers - 1)});
            continue;
        }
        taken.insert(clashKey(chosen));
        job.output = utf8(chosen);
        if (chosen != wanted)
            err << escape_for_terminal(text(Text::renamed, {job.input, job.output, utf8(wanted)}))
                << '\n';
    }
}

class BatchProgress {
  public:
    BatchProgress(std::ostream &err, bool shown, std::size_t total)
        : err_(err), shown_(shown), total_(total) {}

    void started(const std::string &input) {
        const std::lock_guard<std::mutex> lock(mutex_);
        current_ = input;
        draw();
    }
    // Prints what a file said, each line naming the file, then the progress again.
    void finished(const Job &job, const std::string &said) {
        const std::lock_guard<std::mutex> lock(mutex_);
        clear();
        std::istringstream lines(said);
        for (std::string line; std::getline(lines, line);) {
            if (line.find(job.input) == std::string::npos && !line.starts_with("  "))
                line = job.input + ": " + line;
            err_ << escape_for_terminal(line) << '\n';
        }
        ++done_;
        draw();
    }
    void close() {
        const std::lock_guard<std::mutex> lock(mutex_);
        clear();
    }

  private:
    // A line that wraps can no longer be rewritten in place: long names keep their end, where
    // the file's own name is, starting at a whole UTF-8 character.
    static std::string tail(const std::string &name) {
        constexpr std::size_t kShown = 60;
        if (name.size() <= kShown) return name;
        std::size_t from = name.size() - kShown;
        while (from < name.size() && (static_cast<unsigned char>(name[from]) & 0xC0u) == 0x80u)
            ++from;
        return "..." + name.substr(from);
    }
    void clear() {
        if (shown_) err_ << "\r\x1b[K";
    }
    void draw() {
        if (!shown_) return;
        err_ << "\r\x1b[K[" << done_ << '/' << total_ << "] " << escape_for_terminal(tail(current_))
             << std::flush;
    }

    std::ostream &err_;
    const bool shown_;
    const std::size_t total_;
    std::size_t done_ = 0;
    std::string current_;
    std::mutex mutex_;
};

}  // namespace

int run_batch(const std::vector<std::string> &inputs, const BatchSettings &settings,
              std::ostream &err, bool errIsTerminal) {
    if (inputs.empty()) {
        err << text(Text::outDirNeedsInputs) << '\n';
        return 1;
    }
    // The parser already turned "-" into the name of a standard stream.
    if (std::find_if(inputs.begin(), inputs.end(), [](const std::string &input) {
            return input == "stdin" || input == "stdout";
        }) != inputs.end()) {
        err << text(Text::streamsInBatch) << '\n';
        return 1;
    }
    if (settings.conversion.verbose && !settings.conversion.full &&
        settings.conversion.format.value_or(conversion::Format::vrml97) ==
            conversion::Format::vrml97) {
        err << text(Text::verboseNeedsFullInBatch) << '\n';
        return 1;
    }
    const fs::path outDir = path_from_utf8(settings.outDir);
    std::error_code error;
    fs::create_directories(outDir, error);
    if (error || !fs::is_directory(outDir, error)) {
        err << escape_for_terminal(text(Text::cantMakeFolder, {settings.outDir})) << '\n'
            << escape_for_terminal(error ? "  " + system_reason(error.value())
                                         : text(Text::folderInTheWay))
            << '\n';
        return 1;
    }

    std::vector<Job> jobs;
    for (const std::string &input : inputs) collect(input, jobs);
    // The same file named twice, or named and found in a folder, is converted once.
    std::set<std::string> seen;
    std::erase_if(jobs, [&](const Job &job) {
        return !seen.insert(utf8(comparable(path_from_utf8(job.input)))).second;
    });
    if (jobs.empty()) {
        err << text(Text::no3dmfFound) << '\n';
        return 1;
    }
    nameOutputs(
        jobs, outDir,
        conversion::extension_of(settings.conversion.format.value_or(conversion::Format::vrml97)),
        err);

    ConversionSettings conversion = settings.conversion;
    conversion.meshLines = false;  // hundreds of them would hide the messages that matter
    conversion.reasons = true;
    conversion.errIsTerminal = false;

    BatchProgress progress(err, errIsTerminal, jobs.size());
    std::vector<int> status(jobs.size(), 0);
    std::vector<char> warned(jobs.size(), 0);
    std::atomic<std::size_t> next = 0;
    // What the default mode left out of each world; looked for (a second read of each file) only
    // for a person, who can act on it.
    std::vector<DefaultModeLoss> losses(jobs.size());
    const auto work = [&] {
        for (std::size_t i; (i = next.fetch_add(1)) < jobs.size();) {
            const Job &job = jobs[i];
            progress.started(job.input);
            std::ostringstream said;
            std::error_code dirError;
            OutputHazard hazard = OutputHazard::none;
            if (job.problem.empty()) {
                fs::create_directories(path_from_utf8(job.output).parent_path(), dirError);
                hazard = output_hazard(job.input, job.output);
            }
            if (!job.problem.empty()) {
                said << job.problem << '\n';
                status[i] = 1;
            } else if (dirError) {
                said << text(Text::errorWriting, {job.output}) << "\n  "
                     << system_reason(dirError.value()) << '\n';
                status[i] = 1;
            } else if (hazard != OutputHazard::none) {
                said << text(Text::errorWriting, {job.output}) << "\n  "
                     << output_hazard_reason(hazard) << '\n';
                status[i] = 1;
            } else {
                status[i] = convert_one(job.input, job.output, conversion, said,
                                        errIsTerminal ? &losses[i] : nullptr);
            }
            warned[i] = status[i] == 0 && !said.str().empty();
            progress.finished(job, said.str());
        }
    };
    const unsigned threads =
        static_cast<unsigned>(std::min<std::size_t>(std::max(1u, settings.jobs), jobs.size()));
    std::vector<std::thread> workers;
    for (unsigned t = 1; t < threads; ++t) workers.emplace_back(work);
    work();
    for (std::thread &worker : workers) worker.join();
    progress.close();

    const auto failed = static_cast<std::size_t>(
        std::count_if(status.begin(), status.end(), [](int s) { return s != 0; }));
    const auto withWarnings =
        static_cast<std::size_t>(std::count(warned.begin(), warned.end(), char{1}));
    err << text(Text::totals, {std::to_string(jobs.size() - failed), std::to_string(withWarnings),
                               std::to_string(failed)})
        << '\n';
    // Worlds that came out empty or short name their file: a count alone would not say which.
    std::size_t skippedIn = 0;
    for (std::size_t i = 0; i < jobs.size(); ++i) {
        const DefaultModeLoss &loss = losses[i];
        if (loss.skipped.empty() && !loss.emptyWorld) continue;
        skippedIn += loss.skipped.empty() ? 0 : 1;
        const std::string line =
            loss.skipped.empty() ? text(Text::emptyWorldIn, {jobs[i].input})
            : loss.emptyWorld    ? text(Text::skippedInEmptyWorld, {jobs[i].input, loss.skipped})
                                 : text(Text::skippedIn, {jobs[i].input, loss.skipped});
        err << escape_for_terminal(line) << '\n';
    }
    if (skippedIn > 0)
        err << text(Text::batchSkipHint, {std::to_string(skippedIn), std::to_string(jobs.size())})
            << '\n';
    for (std::size_t i = 0; i < jobs.size(); ++i)
        if (status[i] != 0) err << escape_for_terminal(text(Text::failed, {jobs[i].input})) << '\n';
    return failed == 0 ? 0 : 1;
}

}  // namespace tarvex
