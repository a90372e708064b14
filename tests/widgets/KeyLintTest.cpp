#include <algorithm>
#include <filesystem>
#include <fstream>
#include <functional>
#include <memory>
#include <set>
#include <string>
#include <vector>

#include <QTemporaryDir>
#include <QWidget>

#include "skin/CSkin.h"
#include "widgets/CSkinButton.h"
#include "widgets/CSkinButtonGroup.h"
#include "widgets/CSkinDialog.h"
#include "widgets/CSkinEdit.h"
#include "widgets/CSkinList.h"
#include "skin/CSkinManager.h"
#include "widgets/CSkinMenu.h"
#include "widgets/CSkinProgress.h"
#include "widgets/CSkinRepeatButton.h"
#include "widgets/CSkinSlider.h"
#include "widgets/CSkinSpin.h"
#include "widgets/CSkinStatic.h"
#include "widgets/CSkinTree.h"
#include "skin/SkinTestSupport.h"

// Checks the shipped skin against the keys the controls really read: every control class is
// built on the sections that class draws, and the keys it asked for are compared with the
// keys the script defines. A key read but not defined, or defined but read by nothing, is
// usually a misspelling on one side.
namespace {

enum class Kind {
    Dialog,
    Button,
    Repeat,
    Group,
    Static,
    Edit,
    Slider,
    Spin,
    List,
    Tree,
    Menu,
    Progress
};

// Which class draws which section of the shipped skin.
const std::vector<std::pair<std::string, Kind>> kSections = {
    {"DlgMain", Kind::Dialog},
    {"Settings", Kind::Dialog},
    {"Wait", Kind::Dialog},
    {"MsgBox", Kind::Dialog},
    {"PPage", Kind::Dialog},
    {"BtnConnect", Kind::Button},
    {"BtnDisconnect", Kind::Button},
    {"BtnExit", Kind::Button},
    {"BtnMinimize", Kind::Button},
    {"BtnBypass", Kind::Button},
    {"BtnOnline", Kind::Button},
    {"BtnAGC", Kind::Button},
    {"BtnIO", Kind::Button},
    {"BtnA", Kind::Button},
    {"BtnB", Kind::Button},
    {"BtnMenu", Kind::Button},
    {"BtnPresets", Kind::Button},
    {"BtnHistory", Kind::Button},
    {"HistoryTake", Kind::Button},
    {"HistoryRestore", Kind::Button},
    {"HistoryExport", Kind::Button},
    {"HistoryImport", Kind::Button},
    {"HistoryCaption", Kind::Static},
    {"HistoryList", Kind::List},
    {"HistoryDiff", Kind::List},
    {"HistoryProgress", Kind::Progress},
    {"WaitCancel", Kind::Button},
    {"MsgBoxOk", Kind::Button},
    {"MsgBoxYes", Kind::Button},
    {"MsgBoxNo", Kind::Button},
    {"SettingsBookList", Kind::Button},
    {"SettingsBookSave", Kind::Button},
    {"SettingsBookRename", Kind::Button},
    {"SettingsBookDelete", Kind::Button},
    {"PresetIconLoad", Kind::Button},
    {"PresetIconSave", Kind::Button},
    {"PresetIconRename", Kind::Button},
    {"PresetIconLoadFile", Kind::Button},
    {"PresetIconSaveFile", Kind::Button},
    {"BtnScrollUp", Kind::Repeat},
    {"BtnScrollDown", Kind::Repeat},
    {"ButtonGroup", Kind::Group},
    {"ConnectGroup", Kind::Group},
    {"SliderCaption", Kind::Static},
    {"SliderValue", Kind::Static},
    {"FrameCaption", Kind::Static},
    {"SpinCaption", Kind::Static},
    {"SettingsCaption", Kind::Static},
    {"SetStaticHost", Kind::Static},
    {"SetStaticPort", Kind::Static},
    {"SetStaticCodeLock", Kind::Static},
    {"SetCommand", Kind::Static},
    {"StatusLine", Kind::Static},
    {"MsgBoxCaption", Kind::Static},
    {"MsgBoxText", Kind::Static},
    {"SetStaticBook", Kind::Static},
    {"MainFootLine", Kind::Static},
    {"Separator", Kind::Static},
    // The page builder makes "SpinStatic" separators as edit fields.
    {"SpinStatic", Kind::Edit},
    {"SpinTimeStatic", Kind::Edit},
    {"SpinEdit", Kind::Edit},
    {"SettingsHost", Kind::Edit},
    {"SettingsPort", Kind::Edit},
    {"SettingsCode", Kind::Edit},
    {"SettingsBookName", Kind::Edit},
    {"ListEdit", Kind::Edit},
    {"Slider", Kind::Slider},
    {"Spin", Kind::Spin},
    {"List", Kind::List},
    {"Tree", Kind::Tree},
    {"PopupMenu", Kind::Menu},
    {"ProgressBar", Kind::Progress},
};

// Keys read by the application's own windows rather than by these controls; "Section::*"
// stands for a whole section.
const std::vector<std::string> kApplicationKeys = {
    // The LED panel places itself and reads its backgrounds and seven segment images.
    "Leds::*",
    // The main window's page area: tree, settings panel, pages and wait window go there.
    "Frame::*",
    // The settings panel places the port selector's scrolling area and limits its height.
    "ConnectGroup::offset_left",
    "ConnectGroup::offset_top",
    "ConnectGroup::width",
    "ConnectGroup::max_height",
    // The preset list draws its own rows and popup menu icons.
    "List::icon_load",
    "List::icon_save",
    "List::icon_rename",
    "List::icon_loadfile",
    "List::icon_savefile",
    "List::icon_colormask",
    "List::current_text_color",
    "List::selected_text_color",
    "List::selection_color",
    // The history view fills its panel and marks the chosen snapshot.
    "HistoryPanel::*",
    "HistoryList::selected_text_color",
    "HistoryList::selection_color",
    // The message box draws the mark of its kind.
    "MsgBox::icon_information",
    "MsgBox::icon_warning",
    "MsgBox::icon_error",
    "MsgBox::icon_question",
    "MsgBox::icon_left",
    "MsgBox::icon_top",
};

// Sections the script carries for controls the program does not make.
const std::vector<std::string> kUnusedSections = {
    "ListCtrlVerticalSB::*",   "ListCtrlHorizontalSB::*",
    "SettingsOk::*",           "SettingsCancel::*",
    "SettingsSpinRetrieve::*", "SettingsSpinCommand::*",
    "SettingsSpinTries::*",    "SpinValue::*",
};

// Keys the controls read that the skin leaves at their default (0 or empty) on purpose.
// Each of these is optional wherever it appears: 0 or empty means "not set" (no caption,
// no shadow, no solid background, the image's own size, placed by its owner, ...).
const std::vector<std::string> kDefaultedKeys = {
    "*::offset_left",
    "*::offset_top",
    "*::width",
    "*::height",
    "*::resize_line_x",
    "*::resize_line_y",
    "*::rgn_rect",
    "*::stick",
    "*::x_margin",
    "*::y_margin",
    "*::tip",
    "*::tip_delay",
    "*::caption",
    "*::statics",
    "*::bkcolor",
    "*::shadow_color",
    "*::shadow_hor",
    "*::shadow_vert",
    "*::font_width",
    "*::bold",
    "*::italic",
    "*::underline",
    // Buttons that show only their images draw no caption: no font or caption colours.
    "*::draw_text",
    "*::font",
    "*::font_height",
    "*::text_color_up",
    "*::text_color_over",
    "*::text_color_down",
    "*::text_color_disabled",
    "*::text_color_down_disabled",
    // A separator is an image without text.
    "Separator::text_color",
    "Separator::font_alignment",
    "*::transparency",
};

bool Matches(const std::string& key, const std::vector<std::string>& patterns) {
    const size_t split = key.find("::");
    const std::string section = key.substr(0, split);
    const std::string name = split == std::string::npos ? key : key.substr(split + 2);
    for (const std::string& pattern : patterns) {
        if (pattern == key || pattern == section + "::*" || pattern == "*::" + name) {
            return true;
        }
    }
    return false;
}

std::string Section(const std::string& key) {
    return key.substr(0, key.find("::"));
}

template <typename Table> void AddKeys(const Table& table, std::set<std::string>& keys) {
    for (const auto& entry : table) {
        keys.insert(entry.first);
    }
}

std::string Listing(const std::set<std::string>& keys) {
    std::string text;
    for (const std::string& key : keys) {
        text += "  " + key + "\n";
    }
    return text;
}

std::unique_ptr<QWidget> Make(Kind kind, const std::string& section, CSkinManager* manager,
                              QWidget* host) {
    switch (kind) {
    case Kind::Dialog: {
        auto dialog = std::make_unique<CSkinDialog>(section, manager);
        dialog->Create(host, std::nullopt, false);
        return dialog;
    }
    case Kind::Button:
    case Kind::Repeat: {
        auto button = kind == Kind::Button ? std::make_unique<CSkinButton>(section, manager)
                                           : std::make_unique<CSkinRepeatButton>(section, manager);
        button->Create(host, 200);
        return button;
    }
    case Kind::Group: {
        auto group = std::make_unique<CSkinButtonGroup>(manager, section);
        group->Create(host, 300, QPoint(0, 0));
        group->SetButtons({"One", "Two"});
        return group;
    }
    case Kind::Static: {
        auto text = std::make_unique<CSkinStatic>(section, manager);
        text->Create(host, 400);
        return text;
    }
    case Kind::Edit: {
        auto edit = std::make_unique<CSkinEdit>(section, manager);
        edit->Create(host, 500);
        return edit;
    }
    case Kind::Slider: {
        auto slider = std::make_unique<CSkinSlider>(section, manager);
        slider->Create(host, 600);
        return slider;
    }
    case Kind::Spin: {
        auto spin = std::make_unique<CSkinSpin>(section, manager);
        spin->Create(host, 700);
        return spin;
    }
    case Kind::List: {
        auto list = std::make_unique<CSkinList>(section, manager);
        list->Create(host, 1050);
        return list;
    }
    case Kind::Tree: {
        auto tree = std::make_unique<CSkinTree>(section, manager);
        tree->Create(host, 1011);
        return tree;
    }
    case Kind::Menu: {
        auto menu = std::make_unique<CSkinMenu>(manager, section);
        menu->Create();
        return menu;
    }
    case Kind::Progress: {
        auto strip = std::make_unique<CSkinProgress>(manager, section);
        strip->Create(host, 666, true);
        return strip;
    }
    }
    return nullptr;
}

TEST(ShippedSkinKeys, EveryKeyReadIsDefinedAndEveryKeyDefinedIsRead) {
    namespace fs = std::filesystem;
    const fs::path shipped(SOLVEI_SHIPPED_SKIN);
    ASSERT_TRUE(fs::exists(shipped / "skin.ini"));

    // The skin as shipped: what it defines.
    RecordingMessageBox messages;
    CSkinManager full(shipped.parent_path().string(), std::string(), messages);
    ASSERT_TRUE(full.ChangeSkin(shipped.filename().string()));
    std::set<std::string> defined;
    AddKeys(full.Current()->Images(), defined);
    AddKeys(full.Current()->Icons(), defined);
    AddKeys(full.Current()->Texts(), defined);
    AddKeys(full.Current()->Numbers(), defined);

    // The same skin without its numbers and texts, so that every number or text a control
    // asks for is added to the tables (lookups insert missing keys). Images stay, and record
    // their readers. "statics" and "col_number" stay too, because other reads depend on them.
    QTemporaryDir scratch;
    const fs::path copy = fs::path(scratch.path().toStdString()) / "Lint";
    fs::copy(shipped, copy, fs::copy_options::recursive);
    {
        std::ofstream script(copy / "skin.ini", std::ios::binary | std::ios::trunc);
        for (const auto& [key, entry] : full.Current()->Images()) {
            script << "IMAGE(" << key << ", \"" << entry.file << "\")\n";
        }
        for (const auto& [key, entry] : full.Current()->Icons()) {
            script << "ICON(" << key << ", \"" << entry.file << "\")\n";
        }
        for (const auto& [key, text] : full.Current()->Texts()) {
            if (key.ends_with("::statics")) {
                script << "STRING(" << key << ", \"" << text << "\")\n";
            }
        }
        for (const auto& [key, number] : full.Current()->Numbers()) {
            if (key.ends_with("::col_number")) {
                script << "LONG(" << key << ", " << number << ")\n";
            }
        }
    }
    CSkinManager lint(scratch.path().toStdString(), std::string(), messages);
    ASSERT_TRUE(lint.ChangeSkin("Lint"));
    std::set<std::string> kept;
    AddKeys(lint.Current()->Texts(), kept);
    AddKeys(lint.Current()->Numbers(), kept);

    std::set<std::string> made;
    std::set<std::string> read;
    {
        QWidget host;
        std::vector<std::unique_ptr<QWidget>> controls;
        for (const auto& [section, kind] : kSections) {
            controls.push_back(Make(kind, section, &lint, &host));
            made.insert(section);
        }
        // Statics of the dialogs' "statics" lists were made and read as well.
        for (const auto& [key, text] : lint.Current()->Texts()) {
            if (key.ends_with("::statics")) {
                for (size_t start = 0; start <= text.size();) {
                    const size_t end = std::min(text.find(';', start), text.size());
                    made.insert(text.substr(start, end - start));
                    start = end + 1;
                }
            }
        }
        // A missing image is not added to the table; only images that exist show readers.
        for (const auto* table : {&lint.Current()->Images(), &lint.Current()->Icons()}) {
            for (const auto& [key, entry] : *table) {
                if (!entry.users.empty()) {
                    read.insert(key);
                }
            }
        }
        for (const auto* keys : {&lint.Current()->Texts()}) {
            for (const auto& [key, text] : *keys) {
                if (kept.count(key) == 0 || made.count(Section(key)) != 0) {
                    read.insert(key);
                }
            }
        }
        for (const auto& [key, number] : lint.Current()->Numbers()) {
            if (kept.count(key) == 0 || made.count(Section(key)) != 0) {
                read.insert(key);
            }
        }
    }

    std::set<std::string> missing;
    for (const std::string& key : read) {
        if (defined.count(key) == 0 && !Matches(key, kDefaultedKeys) &&
            !Matches(key, kApplicationKeys)) {
            missing.insert(key);
        }
    }
    std::set<std::string> unread;
    for (const std::string& key : defined) {
        if (read.count(key) == 0 && !Matches(key, kApplicationKeys) &&
            !Matches(key, kUnusedSections)) {
            unread.insert(key);
        }
    }
    // A missing image is not recorded, so a section the skin lacks altogether is named here.
    for (const auto& [section, kind] : kSections) {
        const bool any = std::any_of(defined.begin(), defined.end(), [&](const std::string& key) {
            return Section(key) == section;
        });
        EXPECT_TRUE(any) << "the skin has no section " << section;
    }
    EXPECT_TRUE(missing.empty()) << "read by the controls but not in the skin:\n"
                                 << Listing(missing);
    EXPECT_TRUE(unread.empty()) << "in the skin but read by nothing:\n" << Listing(unread);
    for (const auto& message : messages.messages) {
        ADD_FAILURE() << message.caption << ": " << message.text;
    }
}

} // namespace
