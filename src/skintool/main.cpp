#include <cstdio>
#include <exception>
#include <filesystem>
#include <fstream>
#include <iostream>
#include <iterator>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

#include <QImageReader>
#include <QSize>

#include "skin/ArchiveIndex.h"
#include "skin/CSkin.h"
#include "skin/IMessageBox.h"
#include "skin/SkinFileSource.h"
#include "tools/CFileReader.h"
#include "SkinJson.h"
#include "SkinPacker.h"

#ifdef SOLVEI_SKIN_PREVIEW
#include "SkinPreview.h"
#endif
#ifdef SOLVEI_SKIN_PAGES
#include "SkinPages.h"
#include "SolveiVersion.h"
#endif

namespace {

constexpr int kFailure = 1;
constexpr int kUsageError = 2;

// Larger files are no skin script, and no program the tool handles.
constexpr std::size_t kMaxScriptBytes = 16 * 1024 * 1024;
constexpr std::size_t kMaxProgramBytes = std::size_t{1} << 30;

constexpr char kUsage[] =
    "usage: solvei-skin COMMAND ARGUMENTS\n"
    "The skin author's tool: checks, packs, lists and previews skins of Solvei Remote.\n"
    "  check SCRIPT              parse a skin script; report the first syntax error\n"
    "  dump SCRIPT               the script's images, icons, numbers and texts as JSON\n"
    "  pack FOLDER ARCHIVE       pack every file under FOLDER into a skin archive\n"
    "  append EXECUTABLE FOLDER  pack FOLDER and put the archive behind EXECUTABLE\n"
    "  list FILE                 the entry names of the archive in FILE\n"
    "  extract FILE NAME         write the entry NAME of the archive in FILE to stdout\n"
    "  preview [FOLDER]          show the skinned windows (default: the built-in skin)\n"
    "  pages DESCRIPTION OUTDIR [--skin FOLDER]\n"
    "                            render every page of a control description as PNGs\n"
    "  --help, --version         this text; the program's version\n"
    "exit codes: 0 done, 1 failed (a syntax error or missing image included), 2 usage\n";

// The tool reports on stderr itself; nothing is shown in a box.
class StderrMessages : public IMessageBox {
public:
    void Show(const std::string& text, const std::string&, Icon) override {
        std::cerr << text << '\n';
    }
};

// Parses the script file into skin; false (reported) on a read or syntax error.
bool ParseScript(const std::string& path, CSkin& skin) {
    std::string error;
    const auto bytes = CFileReader::Read(path, kMaxScriptBytes, error);
    if (!bytes) {
        std::cerr << "solvei-skin: " << error << '\n';
        return false;
    }
    const std::string text = CSkin::ScriptText(std::vector<char>(bytes->begin(), bytes->end()));
    try {
        skin.Parse(text.c_str());
    } catch (const CSkin::SKIN_EXEPTION& error) {
        std::cerr << "Error (" << error.code << ") in line "
                  << CSkin::ErrorLine(text.c_str(), error.position) << '\n';
        return false;
    }
    return true;
}

// Every image and icon file the script names must stand in the script's folder: that is what
// the author wants to know before shipping.
int ReportMissingFiles(const std::string& script, const CSkin& skin) {
    const std::string folder = std::filesystem::path(script).parent_path().string();
    int missing = 0;
    for (const auto* table : {&skin.Images(), &skin.Icons()}) {
        for (const auto& [key, entry] : *table) {
            std::error_code ec;
            const std::string path = SkinFileSource::DiskPath(folder, entry.file);
            if (entry.file.empty() || std::filesystem::is_regular_file(path, ec)) {
                continue;
            }
            std::cerr << "solvei-skin: " << key << ": " << entry.file << " is missing (" << path
                      << ")\n";
            ++missing;
        }
    }
    return missing == 0 ? 0 : kFailure;
}

// A twin of twice the size is optional, but one the window cannot use (unreadable, or not
// exactly twice its image) is an author's mistake the screen would hide: the image is shown.
int ReportUnusableTwins(const std::string& script, const CSkin& skin) {
    const std::string folder = std::filesystem::path(script).parent_path().string();
    int unusable = 0;
    for (const auto* table : {&skin.Images(), &skin.Icons()}) {
        for (const auto& [key, entry] : *table) {
            std::error_code ec;
            const std::string twinFile = CSkin::TwinFile(entry.file);
            const std::string twinPath = SkinFileSource::DiskPath(folder, twinFile);
            if (entry.file.empty() || !std::filesystem::is_regular_file(twinPath, ec)) {
                continue;
            }
            const QSize image =
                QImageReader(QString::fromStdString(SkinFileSource::DiskPath(folder, entry.file)))
                    .size();
            const QSize twin = QImageReader(QString::fromStdString(twinPath)).size();
            if (!twin.isValid()) {
                std::cerr << "solvei-skin: " << key << ": " << twinFile
                          << " cannot be read as an image\n";
            } else if (image.isValid() && twin != image * 2) {
                std::cerr << "solvei-skin: " << key << ": " << twinFile << " is " << twin.width()
                          << "x" << twin.height() << ", not twice " << entry.file << " ("
                          << image.width() << "x" << image.height() << ")\n";
            } else {
                continue;
            }
            ++unusable;
        }
    }
    return unusable == 0 ? 0 : kFailure;
}

int Check(const std::vector<std::string>& args) {
    StderrMessages messages;
    CSkin skin(nullptr, messages);
    if (!ParseScript(args[0], skin)) {
        return kFailure;
    }
    const int missing = ReportMissingFiles(args[0], skin);
    const int twins = ReportUnusableTwins(args[0], skin);
    return missing != 0 ? missing : twins;
}

int Dump(const std::vector<std::string>& args) {
    StderrMessages messages;
    CSkin skin(nullptr, messages);
    if (!ParseScript(args[0], skin)) {
        return kFailure;
    }
    std::cout << SkinJson(skin);
    return 0;
}

int Pack(const std::vector<std::string>& args) {
    std::string error;
    const auto archive = SkinPacker::Pack(args[0], error);
    if (!archive) {
        std::cerr << "solvei-skin: " << error << '\n';
        return kFailure;
    }
    std::ofstream out(args[1], std::ios::binary | std::ios::trunc);
    out.write(reinterpret_cast<const char*>(archive->data()),
              static_cast<std::streamsize>(archive->size()));
    out.close();
    if (!out) {
        std::cerr << "solvei-skin: cannot write " << args[1] << '\n';
        return kFailure;
    }
    return 0;
}

int Append(const std::vector<std::string>& args) {
    std::string error;
    if (!SkinPacker::Append(args[0], args[1], error)) {
        std::cerr << "solvei-skin: " << error << '\n';
        return kFailure;
    }
    return 0;
}

int List(const std::vector<std::string>& args) {
    std::string error;
    if (!CFileReader::Check(args[0], kMaxProgramBytes, error)) {
        std::cerr << "solvei-skin: " << error << '\n';
        return kFailure;
    }
    const ArchiveIndex index = ArchiveIndex::FromFile(args[0]);
    if (!index.HasArchive()) {
        std::cerr << "solvei-skin: no skin archive in " << args[0] << '\n';
        return kFailure;
    }
    for (const auto& entry : index.Entries()) {
        std::cout << entry.name << '\n';
    }
    return 0;
}

int Extract(const std::vector<std::string>& args) {
    std::string error;
    if (!CFileReader::Check(args[0], kMaxProgramBytes, error)) {
        std::cerr << "solvei-skin: " << error << '\n';
        return kFailure;
    }
    SkinFileSource files(args[0]);
    const auto data = files.ReadArchived(args[1]);
    if (!data) {
        std::cerr << "solvei-skin: no entry " << args[1] << " in " << args[0] << '\n';
        return kFailure;
    }
    if (!data->empty()) {
        std::fwrite(data->data(), 1, data->size(), stdout);
    }
    return std::fflush(stdout) == 0 ? 0 : kFailure;
}

struct Command {
    std::string_view name;
    std::size_t minArgs;
    std::size_t maxArgs;
    int (*run)(const std::vector<std::string>&);
};

constexpr Command kCommands[] = {
    {"check", 1, 1, Check},   {"dump", 1, 1, Dump}, {"pack", 2, 2, Pack},
    {"append", 2, 2, Append}, {"list", 1, 1, List}, {"extract", 2, 2, Extract},
};

int Preview(int argc, char** argv) {
#ifdef SOLVEI_SKIN_PREVIEW
    return RunSkinPreview(argc, argv);
#else
    (void)argc;
    (void)argv;
    std::cerr << "solvei-skin: preview is not part of this build\n";
    return kFailure;
#endif
}

int Run(int argc, char** argv) {
    if (argc < 2) {
        std::cerr << kUsage;
        return kUsageError;
    }
    const std::string_view name = argv[1];
    if (name == "help" || name == "--help" || name == "-h") {
        std::cout << kUsage;
        return 0;
    }
    if (name == "version" || name == "--version") {
        std::cout << "solvei-skin " << SOLVEI_VERSION << "\n";
        return 0;
    }
    // The preview is the only command that needs a window system; it builds its own
    // application object from the whole command line.
    if (name == "preview") {
        return Preview(argc, argv);
    }
#ifdef SOLVEI_SKIN_PAGES
    if (name == "pages") {
        return RunSkinPages(argc, argv);
    }
#endif
    const std::vector<std::string> args(argv + 2, argv + argc);
    for (const Command& command : kCommands) {
        if (command.name != name) {
            continue;
        }
        if (args.size() < command.minArgs || args.size() > command.maxArgs) {
            std::cerr << "solvei-skin: wrong number of arguments for " << name << "\n" << kUsage;
            return kUsageError;
        }
        return command.run(args);
    }
    std::cerr << "solvei-skin: unknown command " << name << "\n" << kUsage;
    return kUsageError;
}

} // namespace

int main(int argc, char** argv) {
    // Whatever goes wrong ends in one line and the failure code, never in an abort.
    try {
        return Run(argc, argv);
    } catch (const std::exception& e) {
        std::cerr << "solvei-skin: unexpected failure: " << e.what() << '\n';
    } catch (...) {
        std::cerr << "solvei-skin: unexpected failure\n";
    }
    return kFailure;
}
