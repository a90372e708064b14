#include "SkinPages.h"

#include <algorithm>
#include <cstdlib>
#include <filesystem>
#include <iostream>
#include <map>
#include <optional>
#include <string>
#include <tuple>
#include <vector>

#include <QApplication>
#include <QDir>
#include <QWidget>
#include <nlohmann/json.hpp>

#include "description/ControlDescription.h"
#include "description/DescriptionEncoder.h"
#include "description/IParameterLink.h"
#include "description/IParameterLog.h"
#include "description/IParameterModelHost.h"
#include "description/ParameterModel.h"
#include "pages/CPageTree.h"
#include "pages/PageBuilder.h"
#include "pages/ParamSpin.h"
#include "pages/ParameterPage.h"
#include "tools/CFileReader.h"
#include "skin/CSkin.h"
#include "skin/CSkinManager.h"
#include "skin/IMessageBox.h"

namespace {

constexpr int kFailure = 1;
constexpr int kUsageError = 2;
constexpr int kSamplePresets = 16;

class StderrMessages : public IMessageBox {
public:
    void Show(const std::string& text, const std::string& caption, Icon) override {
        std::cerr << "solvei-skin: " << caption << ": " << text << '\n';
    }
};

// No processor: nothing is read or written while pages are rendered.
class OfflineLink : public IParameterLink {
public:
    bool IsConnected() const override { return false; }
    void ReadParameter(const ParamAddress&) override {}
    void WriteParameter(const ParamAddress&, std::uint8_t) override {}
    void SetPolling(bool) override {}
};

class NoLog : public IParameterLog {
public:
    void Log(const std::string&) override {}
};

class NoHost : public IParameterModelHost {
public:
    void OnPageRefreshed() override {}
    void RebuildPageTree() override {}
    void RebuildCurrentPage() override {}
    bool IsPresetDownloadRunning() const override { return false; }
};

using AddressKey = std::tuple<int, int, int>;

struct Options {
    std::string description;
    std::string outDir;
    std::optional<std::string> skinFolder;
};

std::optional<Options> ParseOptions(int argc, char** argv) {
    Options options;
    std::vector<std::string> positional;
    for (int i = 2; i < argc; ++i) {
        const std::string arg = argv[i];
        if (arg == "--skin") {
            if (i + 1 >= argc) {
                return std::nullopt;
            }
            options.skinFolder = argv[++i];
        } else {
            positional.push_back(arg);
        }
    }
    if (positional.size() != 2) {
        return std::nullopt;
    }
    options.description = positional[0];
    options.outDir = positional[1];
    return options;
}

// Takes every item's "value" out of the JSON (the encoder knows no such member) and keeps
// it by address.
void TakeValues(nlohmann::ordered_json& value, std::map<AddressKey, int>& values) {
    if (value.is_array()) {
        for (auto& element : value) {
            TakeValues(element, values);
        }
        return;
    }
    if (!value.is_object()) {
        return;
    }
    const auto address = value.find("address");
    const auto given = value.find("value");
    if (given != value.end() && given->is_number_integer() && address != value.end() &&
        address->is_array() && address->size() == 3 &&
        std::all_of(address->begin(), address->end(),
                    [](const auto& byte) { return byte.is_number_integer(); })) {
        values[{(*address)[0].get<int>(), (*address)[1].get<int>(), (*address)[2].get<int>()}] =
            given->get<int>();
        value.erase("value");
    }
    for (auto& [key, child] : value.items()) {
        TakeValues(child, values);
    }
}

// A description is far smaller than this; the bound keeps a wrong path from eating memory.
constexpr std::size_t kMaxDescriptionBytes = 16 * 1024 * 1024;

std::optional<std::vector<std::uint8_t>> ReadDescription(const std::string& path,
                                                         std::map<AddressKey, int>& values) {
    std::string error;
    auto bytes = CFileReader::Read(path, kMaxDescriptionBytes, error);
    if (!bytes) {
        std::cerr << "solvei-skin: " << error << '\n';
        return std::nullopt;
    }
    if (!QString::fromStdString(path).endsWith(".json", Qt::CaseInsensitive)) {
        return bytes;
    }
    nlohmann::ordered_json root = nlohmann::ordered_json::parse(bytes->begin(), bytes->end(),
                                                                nullptr, false);
    if (root.is_discarded()) {
        std::cerr << "solvei-skin: " << path << ": not valid JSON\n";
        return std::nullopt;
    }
    TakeValues(root, values);
    // Without values the file goes to the encoder as it stands, so an error's line and
    // column point into the author's own file.
    const std::string plain = values.empty() ? std::string(bytes->begin(), bytes->end())
                                             : root.dump(1);
    auto encoded = EncodeDescription(plain, error);
    if (!encoded) {
        std::cerr << "solvei-skin: " << path << ": " << error << '\n';
    }
    return encoded;
}

void SetValues(const ControlNode& node, const std::map<AddressKey, int>& values) {
    for (const auto& set : node.sets) {
        for (ParamItem& item : set->items) {
            const auto it = values.find({item.address.a, item.address.b, item.address.c});
            item.value =
                it != values.end() ? static_cast<std::uint8_t>(std::clamp(it->second, 0, 255)) : 0;
        }
    }
    for (const auto& child : node.children) {
        SetValues(*child, values);
    }
}

// "AGC > Bands" becomes "AGC_Bands"; characters that file systems dislike become "-".
QString FileName(int index, int digits, const std::string& path) {
    QString name = QString("%1-").arg(index, digits, 10, QChar('0'));
    const QString text =
        QString::fromLatin1(path.data(), static_cast<qsizetype>(path.size())).replace(" > ", "_");
    for (QChar ch : text) {
        name += ch.isLetterOrNumber() || ch == '_' || ch == '-' || ch == '.' ? ch : QChar('-');
    }
    return name + ".png";
}

} // namespace

int RunSkinPages(int argc, char** argv) {
    const auto options = ParseOptions(argc, argv);
    if (!options) {
        std::cerr << "usage: solvei-skin pages DESCRIPTION OUTDIR [--skin FOLDER]\n";
        return kUsageError;
    }
    // Pages are rendered off screen: no window system is needed.
    if (std::getenv("QT_QPA_PLATFORM") == nullptr) {
        setenv("QT_QPA_PLATFORM", "offscreen", 1);
    }
    QApplication app(argc, argv);

    std::map<AddressKey, int> values;
    const auto bytes = ReadDescription(options->description, values);
    if (!bytes) {
        return kFailure;
    }
    ControlDescription description;
    description.Parse(*bytes);
    for (const std::string& error : description.Errors()) {
        std::cerr << "solvei-skin: " << options->description << ": " << error << '\n';
    }
    const std::shared_ptr<ControlNode> root = description.Root();
    SetValues(*root, values);

    std::string base = "skins";
    std::string name = "Solvei";
    std::string archive = QCoreApplication::applicationFilePath().toStdString();
    if (options->skinFolder) {
        std::filesystem::path folder =
            std::filesystem::absolute(*options->skinFolder).lexically_normal();
        if (!folder.has_filename()) {
            folder = folder.parent_path();
        }
        base = folder.parent_path().string();
        name = folder.filename().string();
        archive.clear();
    }
    StderrMessages messages;
    CSkinManager manager(base, archive, messages);
    if (!manager.ChangeSkin(name) || manager.Current()->Images().empty()) {
        std::cerr << "solvei-skin: no skin found\n";
        return kFailure;
    }
    if (!QDir().mkpath(QString::fromStdString(options->outDir))) {
        std::cerr << "solvei-skin: cannot create " << options->outDir << '\n';
        return kFailure;
    }

    OfflineLink link;
    NoLog log;
    NoHost host;
    ParameterModel model(link, log, host);
    QWidget window;
    CSkin* skin = manager.Current();
    const QSize area(skin->GetLong("Frame", "width"), skin->GetLong("Frame", "height"));
    window.resize(area);
    window.show();
    PageContext context;
    context.skin = &manager;
    context.model = &model;
    context.registry = &model.Registry();
    context.windowFont = window.font();
    const PageBuilder builder(context);

    CPageTree tree(&manager);
    tree.Build(root);
    QStringList presetNames{QStringLiteral("Off")};
    for (int i = 1; i <= kSamplePresets; ++i) {
        presetNames.push_back(QString("U%1: Preset %1").arg(i));
    }
    const int digits = std::max(2, static_cast<int>(QString::number(tree.PageCount() - 1).size()));
    int written = 0;
    for (int index = 0; index < tree.PageCount(); ++index) {
        const CPageTree::Page* entry = tree.Lookup(index);
        if (!entry->hasSets) {
            continue;
        }
        PresetNameFields presetFields;
        auto page = builder.BuildPage(&window, area, &entry->node->sets, entry->path, presetFields);
        for (const PresetNameField& field : presetFields) {
            field.spin->SetItems(field.field, presetNames);
        }
        page->show();
        QCoreApplication::processEvents();
        const QString file = QDir(QString::fromStdString(options->outDir))
                                 .filePath(FileName(index, digits, entry->path));
        if (!page->grab().save(file, "PNG")) {
            std::cerr << "solvei-skin: cannot write " << file.toStdString() << '\n';
            return kFailure;
        }
        std::cout << file.toStdString() << '\n';
        ++written;
    }
    if (written == 0) {
        std::cerr << "solvei-skin: " << options->description << " has no pages\n";
        return kFailure;
    }
    return 0;
}
