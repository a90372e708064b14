// The program's boxes drawn from the skin: each kind through the real main window and the real
// operator dialogs, its texts exactly as given, centred on and owned by the main window, and
// answered from the keyboard.
#include <cstdlib>
#include <filesystem>
#include <functional>
#include <optional>
#include <string>

#include <QApplication>
#include <QSettings>
#include <QTest>
#include <QTimer>

#include <gtest/gtest.h>

#include "app/CDlgMain.h"
#include "app/COperatorDialogs.h"
#include "app/CSkinMessageBox.h"
#include "app/RecordingDialogs.h"
#include "link/CConnectionSettings.h"
#include "skin/CSkinManager.h"
#include "widgets/CSkinButton.h"

namespace fs = std::filesystem;

namespace {

// What the open box showed when it was looked at.
struct Seen {
    QString text;
    QString caption;
    QString title;
    IMessageBox::Icon kind = IMessageBox::Icon::None;
    QRect geometry;
    QWidget* owner = nullptr;
    int keys = 0;
    QString focusedKey;
};

class SkinMessageBoxTest : public ::testing::Test {
protected:
    void SetUp() override {
        dir_ = fs::temp_directory_path() / ("solvei-boxes-" + std::to_string(::getpid()));
        fs::create_directories(dir_);
        const QString settingsDir = QString::fromStdString(dir_.string());
        QSettings::setPath(QSettings::NativeFormat, QSettings::UserScope, settingsDir);
        QSettings::setPath(QSettings::IniFormat, QSettings::UserScope, settingsDir);
        settings_.ReadRegistry();
        settings_.Load();
        const fs::path shipped(SOLVEI_SHIPPED_SKIN);
        skin_ = std::make_unique<CSkinManager>(shipped.parent_path().string(), std::string(),
                                               skinErrors_);
        ASSERT_TRUE(skin_->ChangeSkin(shipped.filename().string()));
        window_ = std::make_unique<CDlgMain>(skin_.get(), settings_, dialogs_);
        window_->Create(nullptr, std::nullopt, true);
        window_->move(20, 10); // off the corner, with the box wholly on the small offscreen screen
    }

    void TearDown() override {
        window_.reset();
        skin_.reset();
        fs::remove_all(dir_);
        EXPECT_TRUE(skinErrors_.boxes.empty());
    }

    // The visible message box, if one is open.
    static CSkinMessageBox* OpenBox() {
        for (QWidget* w : QApplication::topLevelWidgets()) {
            if (auto* box = qobject_cast<CSkinMessageBox*>(w); box != nullptr && box->isVisible()) {
                return box;
            }
        }
        return nullptr;
    }

    // Runs show() (which blocks in the box), looks at the box once it is open, then lets
    // answer() answer it; fails when no box opens.
    void WhileOpen(const std::function<void()>& show, Seen& seen, const std::string& shotName,
                   const std::function<void(CSkinMessageBox&)>& answer) {
        bool looked = false;
        std::function<void()> look;
        look = [&] {
            CSkinMessageBox* box = OpenBox();
            if (box == nullptr) {
                QTimer::singleShot(10, look);
                return;
            }
            looked = true;
            seen.text = box->Text();
            seen.caption = box->CaptionLine();
            seen.title = box->windowTitle();
            seen.kind = box->Kind();
            seen.geometry = box->geometry();
            seen.owner = box->parentWidget();
            seen.keys = static_cast<int>(box->KeysShown().size());
            // The key that has the box's focus (the keyboard's target once the window is active).
            for (unsigned id :
                 {CSkinMessageBox::kOkId, CSkinMessageBox::kYesId, CSkinMessageBox::kNoId}) {
                if (box->Key(id) != nullptr && box->focusWidget() == box->Key(id)) {
                    seen.focusedKey = QString::number(id);
                }
            }
            // Screenshots to look at: SOLVEI_SHOT_DIR names a folder for them.
            if (const char* shots = std::getenv("SOLVEI_SHOT_DIR"); shots != nullptr) {
                box->grab().save(
                    QString::fromStdString(std::string(shots) + "/" + shotName + ".png"));
            }
            answer(*box);
        };
        QTimer::singleShot(0, look);
        show();
        EXPECT_TRUE(looked) << "no skinned box opened";
        EXPECT_EQ(OpenBox(), nullptr) << "the box is still open";
    }

    // A key to the box's focus widget, as the keyboard delivers it to the active window.
    static void Press(CSkinMessageBox& box, Qt::Key key) {
        QWidget* target = box.focusWidget();
        QTest::keyClick(target != nullptr ? target : &box, key);
    }

    void ExpectCentredOnTheWindow(const Seen& seen) const {
        const QRect main = window_->geometry();
        EXPECT_EQ(seen.owner, window_.get());
        EXPECT_LE(std::abs(seen.geometry.center().x() - main.center().x()), 1);
        EXPECT_LE(std::abs(seen.geometry.center().y() - main.center().y()), 1);
    }

    fs::path dir_;
    CConnectionSettings settings_;
    RecordingDialogs skinErrors_;
    COperatorDialogs dialogs_;
    std::unique_ptr<CSkinManager> skin_;
    std::unique_ptr<CDlgMain> window_;
};

TEST_F(SkinMessageBoxTest, EveryKindShowsItsTextsExactlyAndEnterOrEscapeClosesIt) {
    struct Case {
        const char* name;
        std::string text;
        std::string caption;
        IMessageBox::Icon icon;
        QString shownCaption;
        Qt::Key key;
    };
    const std::vector<Case> cases{
        {"incorrect-password", "Incorrect Password", "", IMessageBox::Icon::None, "Solvei",
         Qt::Key_Return},
        {"no-response", "No Response from Processor \nPlease check cables and connection settings.",
         "", IMessageBox::Icon::None, "Solvei", Qt::Key_Escape},
        {"config-error", "Incorect Index", "Config Error", IMessageBox::Icon::Error, "Config Error",
         Qt::Key_Enter},
        {"warning", "The processor did not keep the preset", "", IMessageBox::Icon::Warning,
         "Solvei", Qt::Key_Return},
        {"information", "A Norvo remote application is already running", "Solvei",
         IMessageBox::Icon::Information, "Solvei", Qt::Key_Escape},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.name);
        Seen seen;
        WhileOpen([&] { dialogs_.Show(c.text, c.caption, c.icon); }, seen, c.name,
                  [&](CSkinMessageBox& box) { Press(box, c.key); });
        EXPECT_EQ(seen.text, QString::fromStdString(c.text));
        EXPECT_EQ(seen.caption, c.shownCaption);
        EXPECT_EQ(seen.title, c.shownCaption);
        EXPECT_EQ(seen.kind, c.icon);
        EXPECT_EQ(seen.keys, 1);
        EXPECT_EQ(seen.focusedKey, QString::number(CSkinMessageBox::kOkId));
        ExpectCentredOnTheWindow(seen);
    }
}

TEST_F(SkinMessageBoxTest, AQuestionAnswersNoByDefaultAndYesOnlyWhenChosen) {
    const std::string text = "The file \"/tmp/x.pst\" holds 120 bytes, the processor's presets "
                             "hold 96. Send it anyway?";
    struct Case {
        const char* name;
        std::function<void(CSkinMessageBox&)> answer;
        bool yes;
    };
    const std::vector<Case> cases{
        {"question", [](CSkinMessageBox& box) { Press(box, Qt::Key_Return); }, false},
        {"question-escape", [](CSkinMessageBox& box) { Press(box, Qt::Key_Escape); }, false},
        {"question-y", [](CSkinMessageBox& box) { Press(box, Qt::Key_Y); }, true},
        {"question-n", [](CSkinMessageBox& box) { Press(box, Qt::Key_N); }, false},
        {"question-left-enter",
         [](CSkinMessageBox& box) {
             Press(box, Qt::Key_Left);
             Press(box, Qt::Key_Return);
         },
         true},
        {"question-click-yes",
         [](CSkinMessageBox& box) {
             CSkinButton* yes = box.Key(CSkinMessageBox::kYesId);
             ASSERT_NE(yes, nullptr);
             QTest::mouseClick(yes, Qt::LeftButton, {}, yes->rect().center());
         },
         true},
        {"question-click-no",
         [](CSkinMessageBox& box) {
             CSkinButton* no = box.Key(CSkinMessageBox::kNoId);
             ASSERT_NE(no, nullptr);
             QTest::mouseClick(no, Qt::LeftButton, {}, no->rect().center());
         },
         false},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.name);
        Seen seen;
        std::optional<bool> answer;
        WhileOpen([&] { answer = dialogs_.Ask(text, "Load Preset"); }, seen, c.name, c.answer);
        ASSERT_TRUE(answer.has_value());
        EXPECT_EQ(*answer, c.yes);
        EXPECT_EQ(seen.text, QString::fromStdString(text));
        EXPECT_EQ(seen.caption, "Load Preset");
        EXPECT_EQ(seen.keys, 2);
        EXPECT_EQ(seen.focusedKey, QString::number(CSkinMessageBox::kNoId));
        ExpectCentredOnTheWindow(seen);
    }
}

TEST_F(SkinMessageBoxTest, ASkinWithoutBoxesKeepsThePlatformBox) {
    // The check that decides: the shipped skin has its boxes, an empty manager has none.
    EXPECT_TRUE(CSkinMessageBox::InSkin(skin_.get()));
    RecordingDialogs none;
    CSkinManager empty(dir_.string(), std::string(), none);
    EXPECT_FALSE(CSkinMessageBox::InSkin(&empty));
}

} // namespace
