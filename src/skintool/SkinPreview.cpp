#include "SkinPreview.h"

#include <filesystem>
#include <iostream>
#include <string>
#include <vector>

#include <QApplication>
#include <QFontMetrics>
#include <QLabel>
#include <QMouseEvent>
#include <QPalette>
#include <QTimer>
#include <QTreeWidgetItem>

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
#include "skin/IMessageBox.h"

namespace {

constexpr int kWindowWidth = 1280;
constexpr int kWindowHeight = 800;
constexpr int kColumnLeft = 945;

// Skin errors go to stderr: the preview is a command-line tool.
class PreviewMessages : public IMessageBox {
public:
    void Show(const std::string& text, const std::string& caption, Icon) override {
        std::cerr << "solvei-skin: " << caption << ": " << text << '\n';
    }
};

struct SkinSource {
    std::string base;
    std::string name;
    std::string archive;
    std::string label;
};

// FOLDER is a skin folder on disk; without it the skin packed into this program is used,
// with skins/Solvei below the current folder as the fallback for missing files.
SkinSource ChooseSkin(int argc, char** argv) {
    if (argc >= 3) {
        std::filesystem::path folder = std::filesystem::absolute(argv[2]).lexically_normal();
        if (!folder.has_filename()) {
            folder = folder.parent_path();
        }
        return {folder.parent_path().string(), folder.filename().string(), std::string(),
                folder.string()};
    }
    return {"skins", "Solvei", QCoreApplication::applicationFilePath().toStdString(),
            "the skin built into solvei-skin"};
}

QLabel* Label(QWidget* parent, const QString& text, QPoint at) {
    auto* label = new QLabel(text, parent);
    QPalette colours = label->palette();
    colours.setColor(QPalette::WindowText, QColor(0xC8, 0xCE, 0xD4));
    label->setPalette(colours);
    label->move(at);
    label->adjustSize();
    return label;
}

// Shows a button in the hovered state, as if the pointer rested on it.
void Hover(CSkinButton* button) {
    const QPoint centre = button->rect().center();
    QMouseEvent move(QEvent::MouseMove, QPointF(centre), QPointF(button->mapToGlobal(centre)),
                     Qt::NoButton, Qt::NoButton, Qt::NoModifier);
    QApplication::sendEvent(button, &move);
}

// The main window's fixed buttons in the online view; latched pairs release each other.
void AddMainButtons(CSkinDialog* main, CSkinManager* manager) {
    struct Fixed {
        const char* section;
        unsigned id;
        bool stuck;
    };
    const Fixed fixed[] = {
        {"BtnConnect", 1002, false}, {"BtnExit", 1005, false},   {"BtnMinimize", 1006, false},
        {"BtnBypass", 1056, false},  {"BtnOnline", 1055, true},  {"BtnAGC", 1053, true},
        {"BtnIO", 1054, false},      {"BtnA", 1051, true},       {"BtnB", 1052, false},
        {"BtnMenu", 1048, true},     {"BtnPresets", 1049, false}};
    std::vector<CSkinButton*> made;
    for (const Fixed& f : fixed) {
        auto* button = new CSkinButton(f.section, manager);
        button->Create(main, f.id);
        button->SetStuck(f.stuck);
        made.push_back(button);
    }
    // Bypass/Online, AGC/IO, A/B and Menu/Presets are pairs: latching one frees the other.
    const std::pair<size_t, size_t> pairs[] = {{3, 4}, {5, 6}, {7, 8}, {9, 10}};
    for (const auto& [a, b] : pairs) {
        for (auto [self, other] : {std::pair{made[a], made[b]}, std::pair{made[b], made[a]}}) {
            QObject::connect(self, &QAbstractButton::clicked, other, [self, other] {
                self->SetStuck(true);
                other->SetStuck(false);
                self->update();
                other->update();
            });
        }
    }
    made[0]->setText("Connect");
}

CSkinTree* AddTree(CSkinDialog* main, CSkinManager* manager) {
    auto* tree = new CSkinTree("Tree", manager);
    tree->Create(main, 1011);
    const std::pair<const char*, std::vector<const char*>> pages[] = {
        {"Input", {"Gain", "Balance", "Phase"}},
        {"AGC", {"Attack", "Release", "Gate", "Window"}},
        {"Limiter", {"Threshold", "Drive"}},
        {"Output", {"Level", "Presets on event"}}};
    for (const auto& [group, children] : pages) {
        auto* item = new QTreeWidgetItem(tree, QStringList{group});
        for (const char* child : children) {
            new QTreeWidgetItem(item, QStringList{child});
        }
    }
    tree->expandAll();
    // A page hidden by the processor's state shows disabled.
    tree->topLevelItem(2)->child(1)->setFlags(Qt::ItemIsSelectable);
    tree->setCurrentItem(tree->topLevelItem(1)->child(0));

    auto* up = new CSkinRepeatButton("BtnScrollUp", manager);
    up->Create(main, 256);
    up->SetTarget(tree, CSkinRepeatButton::Direction::LineUp);
    auto* down = new CSkinRepeatButton("BtnScrollDown", manager);
    down->Create(main, 257);
    down->SetTarget(tree, CSkinRepeatButton::Direction::LineDown);
    return tree;
}

CSkinStatic* AddStatic(QWidget* parent, CSkinManager* manager, const char* section,
                       const QString& text, const QRect& place) {
    auto* label = new CSkinStatic(section, manager);
    label->Create(parent, 0);
    label->setGeometry(place);
    label->SetCaption(text);
    return label;
}

// The page caption: "Group > Page" as two caption statics with a separator between them.
void AddPageCaption(CSkinDialog* page, CSkinManager* manager) {
    const QStringList parts{"AGC", " Attack and release"};
    auto* whole = new CSkinStatic("FrameCaption", manager);
    whole->Create(page, 0);
    const QFontMetrics metrics(whole->TextFont());
    const int lineHeight = whole->height();
    int x = (whole->width() - metrics.horizontalAdvance(parts.join("> "))) / 2;
    whole->hide();
    for (int i = 0; i < parts.size(); ++i) {
        const int width = metrics.horizontalAdvance(parts[i]);
        AddStatic(page, manager, "FrameCaption", parts[i], QRect(x, 0, width, lineHeight));
        x += width;
        if (i + 1 < parts.size()) {
            auto* separator = new CSkinStatic("Separator", manager);
            separator->Create(page, 0);
            separator->move(x, separator->y());
            x += separator->width();
        }
    }
}

void AddSlider(CSkinDialog* page, CSkinManager* manager, const QRect& box, const QString& name,
               bool enabled) {
    AddStatic(page, manager, "SliderCaption", name, QRect(box.x(), box.y(), box.width(), 13));
    CSkinStatic* value = AddStatic(page, manager, "SliderValue", QString(),
                                   QRect(box.x(), box.y() + 13, box.width(), 27));
    auto* slider = new CSkinSlider("Slider", manager);
    slider->Create(page, 0);
    slider->setGeometry(box.x() + (box.width() - 40) / 2, box.y() + 40, 40, box.height() - 40);
    slider->setRange(0, 24);
    const auto show = [value](int position) {
        value->SetCaption(QString::asprintf("%+.1f dB", (12 - position) * 0.5));
    };
    QObject::connect(slider, &QSlider::valueChanged, value, show);
    slider->setValue(8);
    show(slider->value());
    slider->setEnabled(enabled);
}

void AddGroup(CSkinDialog* page, CSkinManager* manager, QPoint at, int width,
              const QString& caption, int selection, bool enabled) {
    auto* group = new CSkinButtonGroup(manager);
    group->Create(page, 0x0500, at);
    group->resize(width, group->height());
    group->SetCaption(caption);
    group->SetButtons({"Off", "Slow", "Medium", "Fast", "Auto"});
    group->SetSelection(selection);
    group->setEnabled(enabled);
}

// A spin of two fields laid out as the parameter pages do: minutes carry from seconds.
void AddSpins(CSkinDialog* page, CSkinManager* manager, QPoint at) {
    AddStatic(page, manager, "SpinCaption", "Hold (min : s)", QRect(at.x(), at.y(), 150, 13));
    auto* spin = new CSkinSpin("Spin", manager);
    spin->Create(page, 0);
    spin->setGeometry(at.x(), at.y() + 14, 150, 34);
    const QRect text = spin->GetTextRect();
    const int fieldWidth = (text.width() - 4) / 2;
    std::vector<CSkinEdit*> displays;
    for (int i = 0; i < 2; ++i) {
        const int offset = i * fieldWidth;
        if (i > 0) {
            auto* separator = new CSkinEdit("SpinStatic", manager);
            separator->Create(spin, 0);
            separator->setGeometry(text.left() + offset, text.top() + 2, 2, text.height() - 4);
        }
        auto* display = new CSkinEdit("SpinEdit", manager);
        display->Create(spin, static_cast<unsigned>(i));
        display->setGeometry(text.left() + offset + 2, text.top() + 2, fieldWidth - 1,
                             text.height() - 4);
        display->setAlignment(Qt::AlignCenter);
        displays.push_back(display);
    }
    // The rightmost display is the least significant field.
    spin->AddNumericField(58, displays[1], "%02.0f", 0, 59, 1);
    spin->AddNumericField(1, displays[0], "%02.0f", 0, 99, 1);

    AddStatic(page, manager, "SpinCaption", "Mode", QRect(at.x() + 170, at.y(), 120, 13));
    auto* mode = new CSkinSpin("Spin", manager);
    mode->Create(page, 0);
    mode->setGeometry(at.x() + 170, at.y() + 14, 120, 34);
    auto* display = new CSkinEdit("SpinEdit", manager);
    display->Create(mode, 0);
    const QRect modeText = mode->GetTextRect();
    display->setGeometry(modeText.adjusted(2, 2, -2, -2));
    display->setAlignment(Qt::AlignCenter);
    mode->AddListField(1, display, {"Speech", "Music", "Mixed"}, "%s");
    mode->SetWrap(true);
}

// The five states of one button, side by side with their names; returns the one to show
// hovered once the window is up.
CSkinButton* AddButtonStates(QWidget* window, CSkinManager* manager, const char* section, int top) {
    CSkinButton* over = nullptr;
    const char* names[] = {"up", "over", "down", "disabled", "down disabled"};
    int x = 10;
    for (int state = 0; state < 5; ++state) {
        auto* button = new CSkinButton(section, manager);
        button->Create(window, 0);
        button->move(x, top);
        if (button->text().isEmpty()) {
            button->setText(section);
        }
        button->SetStuck(state == 2 || state == 4);
        button->setEnabled(state < 3);
        if (state == 1) {
            over = button;
        }
        Label(window, names[state], QPoint(x, top + button->height() + 2));
        x += button->width() + 12;
    }
    return over;
}

void AddPresets(QWidget* window, CSkinManager* manager, CSkinMenu* menu, QLabel* status) {
    auto* list = new CSkinList("List", manager);
    list->Create(window, 1050);
    list->move(kColumnLeft + 10, 150);
    const char* names[] = {"SPEECH", "MUSIC", "NEWS",         "SPORT",        "NIGHT",   "",
                           "",       "",      "FACTORY LOUD", "FACTORY SOFT", "CLASSIC", "TALK"};
    for (int i = 0; i < 12; ++i) {
        const QString label = i < 8 ? QString("U%1:").arg(i + 1) : QString("F%1:").arg(i - 7);
        new QTreeWidgetItem(list, QStringList{label, names[i]});
    }
    list->setCurrentItem(list->topLevelItem(1));

    const char* icons[] = {"icon_load", "icon_save", "icon_rename", "icon_loadfile",
                           "icon_savefile"};
    const char* commands[] = {"Load", "Save", "Rename", "Load from file", "Save to file"};
    for (int i = 0; i < 5; ++i) {
        if (const QImage* icon = list->GetImage(icons[i])) {
            menu->AddIcon(*icon, list->GetLong("icon_colormask"));
        } else {
            menu->AddIcon(QImage(), 0);
        }
        menu->AddItem(i, commands[i]);
    }
    QObject::connect(menu, &CSkinMenu::commandChosen, status, [status, commands](int command) {
        status->setText(QString("menu: %1").arg(commands[command]));
        status->adjustSize();
    });
    list->setContextMenuPolicy(Qt::CustomContextMenu);
    QObject::connect(list, &QWidget::customContextMenuRequested, menu, [list, menu](QPoint at) {
        if (QTreeWidgetItem* item = list->itemAt(at)) {
            list->setCurrentItem(item);
        }
        menu->popup(list->viewport()->mapToGlobal(at));
    });

    const char* presetButtons[] = {"PresetIconLoad", "PresetIconSave", "PresetIconRename",
                                   "PresetIconLoadFile", "PresetIconSaveFile"};
    int y = 150;
    for (int i = 0; i < 5; ++i) {
        auto* button = new CSkinButton(presetButtons[i], manager);
        button->Create(window, 109 + static_cast<unsigned>(i));
        button->move(list->geometry().right() + 12, y);
        y += button->height() + 6;
    }
}

void AddEdits(QWidget* window, CSkinManager* manager, int top) {
    const std::pair<const char*, const char*> edits[] = {
        {"SettingsHost", "192.168.1.20"}, {"SettingsPort", "1203"}, {"SettingsCode", "0042"}};
    int y = top;
    for (const auto& [section, text] : edits) {
        Label(window, section, QPoint(kColumnLeft + 10, y + 4));
        auto* edit = new CSkinEdit(section, manager);
        edit->Create(window, 0);
        edit->move(kColumnLeft + 110, y);
        edit->setText(text);
        y += edit->height() + 8;
    }
}

} // namespace

int RunSkinPreview(int argc, char** argv) {
    QApplication app(argc, argv);
    const SkinSource source = ChooseSkin(argc, argv);
    PreviewMessages messages;
    CSkinManager manager(source.base, source.archive, messages);
    if (!manager.ChangeSkin(source.name)) {
        return 1;
    }
    const CSkin* skin = manager.Current();
    if (skin->Numbers().empty() && skin->Images().empty() && skin->Texts().empty()) {
        std::cerr << "solvei-skin: no skin found in " << source.label << '\n';
        return 1;
    }

    QWidget window;
    window.setWindowTitle(
        QString("Solvei skin preview: %1").arg(QString::fromStdString(source.label)));
    QPalette colours = window.palette();
    colours.setColor(QPalette::Window, QColor(0x20, 0x24, 0x28));
    window.setPalette(colours);
    window.setAutoFillBackground(true);
    window.setFixedSize(kWindowWidth, kWindowHeight);

    auto* main = new CSkinDialog("DlgMain", &manager);
    main->Create(&window, std::nullopt, false);
    main->move(0, 0);
    auto* leds = new CSkinDialog("Leds", &manager);
    leds->Create(main, std::nullopt, false);
    AddMainButtons(main, &manager);
    AddTree(main, &manager);

    auto* page = new CSkinDialog("PPage", &manager);
    page->Create(main, std::nullopt, false);
    AddPageCaption(page, &manager);
    AddSlider(page, &manager, QRect(16, 34, 70, 318), "Gain", true);
    AddSlider(page, &manager, QRect(90, 34, 70, 318), "Drive", false);
    AddGroup(page, &manager, QPoint(176, 34), 430, "Attack", 2, true);
    AddGroup(page, &manager, QPoint(176, 110), 250, "Release", 1, false);
    AddSpins(page, &manager, QPoint(176, 260));

    const int stripTop = main->geometry().bottom() + 10;
    const std::vector<CSkinButton*> hovered{
        AddButtonStates(&window, &manager, "BtnConnect", stripTop),
        AddButtonStates(&window, &manager, "BtnMenu", stripTop + 62)};

    auto* wait = new CSkinDialog("Wait", &manager);
    wait->Create(&window, std::nullopt, false);
    wait->move(kWindowWidth - wait->width(), 0);
    auto* progress = new CSkinProgress(&manager);
    progress->Create(wait, 666);

    auto* status = Label(&window, "right-click the preset list for its menu",
                         QPoint(kColumnLeft + 10, kWindowHeight - 24));
    auto* menu = new CSkinMenu(&manager, "PopupMenu", &window);
    menu->Create();
    AddPresets(&window, &manager, menu, status);
    AddEdits(&window, &manager, 450);

    window.show();
    // Hovered after the window system's own enter and leave events for the new window.
    QTimer::singleShot(0, &window, [hovered] {
        for (CSkinButton* button : hovered) {
            Hover(button);
        }
    });
    return app.exec();
}
