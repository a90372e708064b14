#include "app/PresetFile.h"

#include <algorithm>
#include <cstdio>
#include <filesystem>
#include <fstream>
#include <istream>

#include <QSaveFile>

#include "app/PresetCommand.h"

std::string PresetFile::AutomaticName(int preset) {
    char name[32];
    std::snprintf(name, sizeof name, "preset%x.pst", static_cast<unsigned>(preset));
    return name;
}

std::string PresetFile::Label(int preset) {
    // Built by appending: GCC 12 warns falsely about "U" + std::to_string(...).
    std::string label(1, preset < kUserPresetCount ? 'U' : 'F');
    label += std::to_string(preset < kUserPresetCount ? preset + 1 : preset - kUserPresetCount + 1);
    label += ':';
    return label;
}

std::string PresetFile::NameFromData(const ByteString& data) {
    const auto end = data.begin() + static_cast<std::ptrdiff_t>(std::min(data.size(), kNameBytes));
    return {data.begin(), std::find(data.begin(), end, std::uint8_t{0})};
}

PresetFile::ReadResult PresetFile::Read(const std::string& path, std::uintmax_t maxBytes) {
    std::error_code error;
    if (std::filesystem::is_directory(path, error)) {
        return {{}, ReadStatus::IsDirectory};
    }
    std::ifstream in(path, std::ios::binary);
    if (!in) {
        return {{}, ReadStatus::CannotOpen};
    }
    in.seekg(0, std::ios::end);
    const std::streamoff length = in.tellg();
    in.seekg(0, std::ios::beg);
    if (length < 0 || !in) {
        return {{}, ReadStatus::CannotOpen};
    }
    if (static_cast<std::uintmax_t>(length) > maxBytes) {
        return {{}, ReadStatus::TooLarge};
    }
    return ReadStream(in, static_cast<std::uintmax_t>(length));
}

PresetFile::ReadResult PresetFile::ReadStream(std::istream& in, std::uintmax_t length) {
    ReadResult result;
    result.data.resize(static_cast<std::size_t>(length));
    in.read(reinterpret_cast<char*>(result.data.data()), static_cast<std::streamsize>(length));
    const auto got = static_cast<std::size_t>(std::max<std::streamsize>(in.gcount(), 0));
    result.status = got < result.data.size() ? ReadStatus::ShortRead : ReadStatus::Ok;
    result.data.resize(got);
    return result;
}

bool PresetFile::Write(const std::string& path, const ByteString& data) {
    // Written beside the file and renamed over it only once whole: a full disk or a failed
    // write leaves the old file as it was, and half a preset (which would load as a
    // different preset) never stands under the name.
    QSaveFile out(QString::fromStdString(path));
    if (!out.open(QIODevice::WriteOnly)) {
        return false;
    }
    const auto size = static_cast<qint64>(data.size());
    // commit() alone can report success for a write the file-size limit cut short: the
    // bytes must be out, and all of them, before the file takes the name.
    if (out.write(reinterpret_cast<const char*>(data.data()), size) != size || !out.flush() ||
        out.size() != size) {
        out.cancelWriting();
    }
    return out.commit();
}
