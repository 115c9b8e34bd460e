#include "host/cli/cli.h"

#include "platform/posix/atomicfile.h"
#include "platform/posix/endingsignals.h"
#include "platform/posix/followname.h"
#include "platform/posix/startingdescriptors.h"

#include <algorithm>
#include <cerrno>
#include <csignal>
#include <fcntl.h>
#include <filesystem>
#include <iostream>
#include <iterator>
#include <optional>
#include <sys/stat.h>
#include <string_view>
#include <system_error>
#include <unistd.h>

namespace cli {

namespace {

const std::vector<Command>& Commands()
{
    static const std::vector<Command> commands = {
        {"analyse",
         "[--type N] [--channel N] [--set ID=TEXT]... [--from DOCUMENT] [-o FILE] [--save DOCUMENT] [--event N|all] "
         "[--view-png FILE] [--view-pdf FILE] [--csv FILE.csv] [--pdf FILE] RECORDING",
         "analyses a channel of a recording (or of a saved document, with its settings), writes the analysis table "
         "as tab-separated text, and the analysis view of an event (or of every event) as a picture and a printout; "
         "the table view writes the table as a comma-separated file and prints it to a PDF",
         {"--type", "--channel", "--set", "-o", "--save", "--from", "--event", "--view-png", "--view-pdf", "--csv",
          "--pdf"},
         &RunAnalyse,
         {"--list-settings"},
         "analysis types (--type N, default 0):\n"
         "  0  General - Unstimulated\n  1  Cardiac Action Potential\n  2  Synaptic\n  3  Evoked Response\n"
         "  4  Population Spike\n  5  Action Potential\n"
         "settings (--set ID=TEXT): crestmetrics analyse --list-settings --type N lists the settings of type N as its\n"
         "settings dialog's pages show them: id, kind, default, range and meaning. Types 0 and 2 find their events\n"
         "with the host's peak detection, set as text in setting 1010: fields NAME=VALUE separated by \";\", each\n"
         "optional:\n"
         "  dir=1|-1 (upward or downward peaks)  sd=1|0 (height in standard deviations of the noise, or in base units)\n"
         "  height=H  interval=S (least seconds between peaks)  transform=0|1 (detect on the smoothed derivative)\n"
         "  smooth=S (seconds, up to 10)  window=S (seconds of noise estimate)  zero=0|1 (allow a height of 0)\n"
         "  e.g. --set \"1010=dir=-1;sd=1;height=5;interval=0.005;transform=1;smooth=0.0005\"",
         true,
         {"--from"},
         {"--save", "--view-png", "--view-pdf", "--pdf"}},
        {"calc", "TEXT RECORDING",
         "evaluates a calculation text over every block of a recording and prints its events", {}, &RunCalc, {},
         nullptr, true},
        {"selftest", "[--seed N] [list] [NAME-PREFIX...]",
         "runs the module's self tests (or lists them) and prints each sub-test's result; --seed N repeats the "
         "random draws of a run",
         {"--seed"}, &RunSelfTest},
    };
    return commands;
}

// Standard output takes what it was given only when its last flush succeeds: a full disk would otherwise pass
// for success.
int FlushedOut(std::ostream& out, int status)
{
    errno = 0;
    if (!out.flush()) {
        throw WriteFailure("", "", errno);
    }
    return status;
}

// Where a recording from standard input is read, for the help of every command that reads one.
constexpr const char* kStandardInput = "standard input is read as /dev/stdin: cat FILE | crestmetrics analyse "
                                       "/dev/stdin (\"-\" is no recording)\n";

void PrintUsage(std::ostream& out)
{
    out << "usage: crestmetrics COMMAND [--module PATH] [--quiet] ARGUMENTS\n\ncommands:\n";
    for (const Command& command : Commands()) {
        out << "  " << command.name << ' ' << command.usage << "\n      " << command.summary << '\n';
    }
    out << "\noptions (after the command):\n"
           "  --module PATH  the module library (default: libcrestmetrics.so beside the program)\n"
           "  -q, --quiet    no progress on standard error (warnings still go there)\n"
           "  -h, --help     this text, or the command's own after it\n\n"
        << kStandardInput;
}

bool IsCommonOption(std::string_view arg)
{
    return arg == "--quiet" || arg == "-q" || arg == "--module";
}

// The command line after the command's name, read once.
struct Reading {
    Options options;
    // What ends the reading, whichever comes first: the command's help, or a usage failure.
    bool help = false;
    std::optional<Failure> refusal;
    // The names of the files the command reads and of those it writes whole, read to the end of the command line
    // even past what ends the reading: standard error is compared with them before any word is said.
    std::vector<std::string> reads;
    std::vector<std::string> writesWhole;
};

bool Listed(const std::vector<std::string>& names, std::string_view name)
{
    return std::find(names.begin(), names.end(), name) != names.end();
}

Reading ReadArguments(const Command& command, const std::vector<std::string_view>& args)
{
    Reading reading;
    Options& options = reading.options;
    options.module = DefaultModulePath();
    const auto refuse = [&reading](const std::string& message) {
        if (!reading.help && !reading.refusal) {
            reading.refusal.emplace(message, true);
        }
    };
    bool optionsEnded = false;
    for (std::size_t i = 1; i < args.size(); ++i) {
        const std::string_view arg = args[i];
        if (optionsEnded || arg.empty() || arg[0] != '-' || arg == "-") {
            options.arguments.emplace_back(arg);
        } else if (arg == "--") {
            optionsEnded = true;
        } else if (arg == "--help" || arg == "-h") {
            reading.help = !reading.refusal;
        } else if (arg == "--quiet" || arg == "-q") {
            options.quiet = true;
        } else if (Listed(command.flagOptions, arg)) {
            options.flags.emplace_back(arg);
        } else if (arg == "--module") {
            if (i + 1 < args.size()) {
                options.module = args[++i];
            } else {
                refuse("--module needs a path");
            }
        } else if (const std::string name(arg.substr(0, arg.find('='))); Listed(command.valueOptions, name)) {
            if (name.size() < arg.size()) {
                options.values.emplace_back(name, arg.substr(name.size() + 1));
            } else if (i + 1 < args.size()) {
                options.values.emplace_back(name, args[++i]);
            } else {
                refuse(name + " needs a value");
            }
        } else {
            refuse("unknown option " + std::string(arg));
        }
    }
    if (command.readsRecording) {
        reading.reads = options.arguments;
    }
    for (const auto& [name, value] : options.values) {
        if (Listed(command.inputOptions, name)) {
            reading.reads.push_back(value);
        } else if (Listed(command.wholeOutputOptions, name)) {
            reading.writesWhole.push_back(value);
        }
    }
    return reading;
}

std::vector<std::string> Identities(const std::vector<std::string>& paths)
{
    std::vector<std::string> identities;
    std::transform(paths.begin(), paths.end(), std::back_inserter(identities), FileIdentity);
    return identities;
}

// A signal that ends the run removes the temporary files being written, then ends the process as the signal asks,
// so that an interrupted write leaves neither a torn file nor a hidden temporary one.
extern "C" void EndOnSignal(int signal)
{
    platform::AtomicFile::RemovePendingTemporaries();
    ::raise(signal); // the handler was reset to the default action: it ends the process once this returns
}

void HandleSignals()
{
    // Past the file-size limit a write fails with its own error, which is reported, rather than killing the run.
    std::signal(SIGXFSZ, SIG_IGN);
    for (const int signal : platform::kEndingSignals) {
        struct sigaction previous {};
        if (::sigaction(signal, nullptr, &previous) == 0 && previous.sa_handler == SIG_IGN) {
            continue; // ignored by whoever started the run (nohup, a background job): it stays ignored
        }
        struct sigaction action {};
        action.sa_handler = EndOnSignal;
        action.sa_flags = SA_RESETHAND;
        sigemptyset(&action.sa_mask);
        ::sigaction(signal, &action, nullptr);
    }
}

// A standard descriptor closed by whoever started the run (">&-") is taken by a descriptor that reads nothing and
// refuses writes, so that no file the run opens becomes descriptor 0, 1 or 2 and takes what is meant for it.
void KeepStandardDescriptorsTaken()
{
    for (int fd = STDIN_FILENO; fd <= STDERR_FILENO; ++fd) {
        int ends[2];
        if (::fcntl(fd, F_GETFD) >= 0 || errno != EBADF || ::pipe(ends) != 0) {
            continue;
        }
        // A pipe's read end: a write to it fails as one to a closed descriptor does, and a read finds the end once
        // the write end is gone. The lower standard descriptors are taken, so the read end is `fd` or above it.
        if (ends[0] != fd) {
            ::dup2(ends[0], fd);
            ::close(ends[0]);
        }
        ::close(ends[1]);
    }
}

} // namespace

Failure WriteFailure(const std::string& what, const std::string& path, int error)
{
    return Failure("cannot write " + (what.empty() ? std::string() : what + " ") + "to " +
                   (path.empty() ? std::string("standard output") : path) +
                   (error != 0 ? ": " + std::generic_category().message(error) : std::string()));
}

namespace {

std::string InodeIdentity(const struct stat& info)
{
    return S_ISREG(info.st_mode) ? "inode " + std::to_string(info.st_dev) + ":" + std::to_string(info.st_ino) : "";
}

} // namespace

std::string StandardOutputIdentity()
{
    struct stat info {};
    return ::fstat(STDOUT_FILENO, &info) == 0 ? InodeIdentity(info) : "";
}

std::string OpenedIdentity(int fd)
{
    struct stat info {};
    return ::fstat(fd, &info) == 0 ? InodeIdentity(info) : "";
}

std::string FileIdentity(const std::string& path)
{
    const platform::FileTarget target = platform::FollowName(path);
    if (target.descriptor >= 0) {
        return OpenedIdentity(target.descriptor);
    }
    if (target.error != 0) {
        return "";
    }
    // Looked at in the folder the name led to when it was followed, where the file will be written.
    const int folder = target.folder->Descriptor();
    struct stat info {};
    if (::fstatat(folder, target.leaf.c_str(), &info, AT_SYMLINK_NOFOLLOW) == 0) {
        return InodeIdentity(info);
    }
    // A file not made yet: its name in that folder.
    return ::fstat(folder, &info) == 0
               ? "new " + std::to_string(info.st_dev) + ":" + std::to_string(info.st_ino) + "/" + target.leaf
               : "";
}

bool HoldsBytes(int fd)
{
    struct stat info {};
    return ::fstat(fd, &info) == 0 && info.st_size > 0;
}

void RefuseStandardErrorOnto(const std::vector<std::string>& inputs, const std::vector<std::string>& wholeOutputs)
{
    const std::string standardError = OpenedIdentity(STDERR_FILENO);
    if (!standardError.empty() && (Listed(inputs, standardError) ||
                                   (Listed(wholeOutputs, standardError) && HoldsBytes(STDERR_FILENO)))) {
        throw Failure::Unsaid();
    }
}

void RefuseClosedInput(const std::string& path)
{
    const int fd = platform::FollowName(path).descriptor;
    if (fd >= 0 && !platform::OpenAtStart(fd, false)) {
        static const char* const kStandard[] = {"standard input", "standard output", "standard error"};
        throw Failure(path + ": " + (fd <= STDERR_FILENO ? kStandard[fd] : "descriptor " + std::to_string(fd)) +
                      " is closed");
    }
}

void RefuseClosedStandardOutput()
{
    const int flags = ::fcntl(STDOUT_FILENO, F_GETFL);
    if (flags < 0 || (flags & O_ACCMODE) == O_RDONLY) {
        throw WriteFailure("", "", EBADF);
    }
}

void RefuseStandardOutputOnto(const std::string& recording)
{
    const std::string output = StandardOutputIdentity();
    if (output.empty() || output != recording) {
        return;
    }
    // Opened without O_APPEND and empty: a ">", not a ">>" onto an empty recording.
    struct stat info {};
    const bool emptied = ::fstat(STDOUT_FILENO, &info) == 0 && info.st_size == 0 &&
                         (::fcntl(STDOUT_FILENO, F_GETFL) & O_APPEND) == 0;
    throw Failure(std::string("standard output") + kIsTheRecording +
                      (emptied ? ", which the shell's \">\" has emptied" : ""),
                  true);
}

void Progress::Step(const std::string& what, int done, int total)
{
    if (quiet_) {
        return;
    }
    err_ << "crestmetrics: " << command_ << ": " << what << ' ' << done << " of " << total << '\n';
    shown_ = true;
}

void Progress::Done()
{
    if (!quiet_ && shown_) {
        err_ << "crestmetrics: " << command_ << ": done\n";
    }
}

void RefuseDashAsRecording(const std::string& path)
{
    if (path.empty()) {
        throw Failure("the recording's name is empty: give the file to read", true);
    }
    if (path == "-") {
        throw Failure("-: standard input is read as /dev/stdin: give /dev/stdin as the recording", true);
    }
}

std::string DefaultModulePath()
{
    std::error_code error;
    const std::filesystem::path self = std::filesystem::read_symlink("/proc/self/exe", error);
    if (error) {
        return "libcrestmetrics.so";
    }
    return (self.parent_path() / "libcrestmetrics.so").string();
}

LoadedHost::LoadedHost(const std::string& modulePath)
{
    host.Log().Enable(false); // no one reads it here, and it would grow with every block
    if (FAILED(host.Start())) {
        throw Failure("the host's services could not be started");
    }
    if (FAILED(host.LoadModule(modulePath))) {
        throw Failure("cannot load the module: " + host.LastError() +
                      " (give the module library with --module PATH after the command)");
    }
}

int Main(int argc, char** argv, std::ostream& out, std::ostream& err)
{
    platform::RecordOpenDescriptors(); // before the closed standard ones are taken
    KeepStandardDescriptorsTaken();
    std::vector<std::string_view> args(argv + 1, argv + argc);
    if (args.empty() || args[0] == "--help" || args[0] == "-h" || args[0] == "help") {
        PrintUsage(args.empty() ? err : out);
        if (!args.empty() && !out.flush()) {
            err << "crestmetrics: cannot write to standard output\n";
            return 1;
        }
        return args.empty() ? 2 : 0;
    }
    const Command* command = nullptr;
    for (const Command& candidate : Commands()) {
        if (args[0] == candidate.name) {
            command = &candidate;
        }
    }
    if (!command && IsCommonOption(args[0])) {
        err << "crestmetrics: options follow the command: crestmetrics COMMAND " << args[0]
            << " ... (try crestmetrics --help)\n";
        return 2;
    }
    if (!command) {
        err << "crestmetrics: unknown command \"" << args[0] << "\" (try crestmetrics --help)\n";
        return 2;
    }
    HandleSignals();
    try {
        const Reading reading = ReadArguments(*command, args);
        RefuseStandardErrorOnto(Identities(reading.reads), Identities(reading.writesWhole));
        if (reading.refusal) {
            throw *reading.refusal;
        }
        if (reading.help) {
            out << "usage: crestmetrics " << command->name << " [--module PATH] [--quiet] " << command->usage
                << "\n    " << command->summary << '\n';
            if (command->details) {
                out << '\n' << command->details << '\n';
            }
            if (command->readsRecording) {
                out << '\n' << kStandardInput;
            }
            return FlushedOut(out, 0);
        }
        return FlushedOut(out, command->run(reading.options, out, err));
    } catch (const Failure& failure) {
        if (failure.IsUnsaid()) {
            return 2;
        }
        err << "crestmetrics: " << command->name << ": " << failure.what() << '\n';
        if (failure.Usage()) {
            err << "usage: crestmetrics " << command->name << " [--module PATH] [--quiet] " << command->usage << '\n';
            return 2;
        }
        return 1;
    } catch (const std::exception& unexpected) {
        err << "crestmetrics: " << command->name << ": " << unexpected.what() << '\n';
        return 1;
    }
}

} // namespace cli
