#include "SkinPacker.h"

#include <algorithm>
#include <filesystem>
#include <fstream>
#include <iterator>

#include "skin/ResourceArchive.h"
#include "skin/ResourceArchiveWriter.h"
#include "tools/CFileReader.h"

namespace fs = std::filesystem;

namespace {

// The sort key of a name: letters in lower case, and the separator below every other
// character so that names compare folder by folder ("Buttons\x" before "buttons2\x").
std::string SortKey(const std::string& name) {
    std::string key = name;
    for (char& c : key) {
        if (c >= 'A' && c <= 'Z') {
            c = static_cast<char>(c - 'A' + 'a');
        } else if (c == '\\') {
            c = '\x01';
        }
    }
    return key;
}

} // namespace

std::optional<std::vector<char>> SkinPacker::ReadFile(const std::string& path, std::string& error) {
    constexpr std::size_t kMaxFileBytes = std::size_t{1} << 30;
    auto bytes = CFileReader::Read(path, kMaxFileBytes, error);
    if (!bytes) {
        return std::nullopt;
    }
    return std::vector<char>(bytes->begin(), bytes->end());
}

std::optional<std::vector<std::string>> SkinPacker::Files(const std::string& folder,
                                                          std::string& error) {
    std::error_code ec;
    if (!fs::is_directory(folder, ec)) {
        error = "not a folder: " + folder;
        return std::nullopt;
    }
    std::vector<std::string> names;
    fs::recursive_directory_iterator it(folder, fs::directory_options::follow_directory_symlink,
                                        ec);
    for (; !ec && it != fs::recursive_directory_iterator(); it.increment(ec)) {
        if (!it->is_regular_file(ec)) {
            continue;
        }
        std::string name;
        for (const fs::path& part : fs::relative(it->path(), folder, ec)) {
            name += (name.empty() ? "" : "\\") + part.string();
        }
        names.push_back(name);
    }
    if (ec) {
        error = "cannot read " + folder + ": " + ec.message();
        return std::nullopt;
    }
    std::sort(names.begin(), names.end(), [](const std::string& a, const std::string& b) {
        const std::string fa = SortKey(a);
        const std::string fb = SortKey(b);
        return fa != fb ? fa < fb : a < b;
    });
    return names;
}

std::optional<std::vector<std::uint8_t>> SkinPacker::Pack(const std::string& folder,
                                                          std::string& error) {
    const auto names = Files(folder, error);
    if (!names) {
        return std::nullopt;
    }
    ResourceArchiveWriter writer("none");
    for (const std::string& name : *names) {
        std::string relative = name;
        std::replace(relative.begin(), relative.end(), '\\', '/');
        const auto bytes = ReadFile((fs::path(folder) / relative).string(), error);
        if (!bytes) {
            return std::nullopt;
        }
        if (!writer.Add(name, *bytes)) {
            error = name.size() > ResourceArchive::kMaxNameLength
                        ? "name longer than " + std::to_string(ResourceArchive::kMaxNameLength) +
                              " bytes: " + name
                        : "cannot compress " + name;
            return std::nullopt;
        }
    }
    return writer.Bytes();
}

bool SkinPacker::Append(const std::string& executable, const std::string& folder,
                        std::string& error) {
    const auto archive = Pack(folder, error);
    if (!archive) {
        return false;
    }
    const auto program = ReadFile(executable, error);
    if (!program) {
        return false;
    }
    // An archive appended before is replaced, not stacked: the first one found would win.
    ResourceArchive::Header header{};
    const std::int64_t old = ResourceArchive::FindHeader(
        std::span(reinterpret_cast<const std::uint8_t*>(program->data()), program->size()), header);
    const std::size_t keep = old >= 0 ? static_cast<std::size_t>(old) : program->size();

    const fs::path target(executable);
    const fs::path temporary = target.string() + ".skin-new";
    {
        std::ofstream out(temporary, std::ios::binary | std::ios::trunc);
        out.write(program->data(), static_cast<std::streamsize>(keep));
        out.write(reinterpret_cast<const char*>(archive->data()),
                  static_cast<std::streamsize>(archive->size()));
        out.close();
        if (!out) {
            error = "cannot write " + temporary.string();
            std::error_code ignored;
            fs::remove(temporary, ignored);
            return false;
        }
    }
    std::error_code ec;
    fs::permissions(temporary, fs::status(target, ec).permissions(), ec);
    fs::rename(temporary, target, ec);
    if (ec) {
        error = "cannot replace " + executable + ": " + ec.message();
        std::error_code ignored;
        fs::remove(temporary, ignored);
        return false;
    }
    return true;
}
