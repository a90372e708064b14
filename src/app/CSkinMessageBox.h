#pragma once

#include <memory>
#include <vector>

#include <QString>

#include "skin/IMessageBox.h"
#include "widgets/CSkinDialog.h"

class CSkinButton;
class CSkinManager;
class CSkinStatic;

// A message box drawn from the skin (section "MsgBox"): the box's background, a caption line
// ("MsgBoxCaption"), the text ("MsgBoxText"), a mark for the kind of message, and its keys
// ("MsgBoxOk", or "MsgBoxYes" and "MsgBoxNo"). It runs modally over its owner, centred on
// it. Enter presses the focused key (the default one at first: OK, or No for a question);
// Escape answers OK or No.
class CSkinMessageBox : public CSkinDialog {
    Q_OBJECT
public:
    enum class Keys { Ok, YesNo };
    enum Answer { kOk = 1, kYes = 2, kNo = 3 };
    static constexpr unsigned kOkId = 1;
    static constexpr unsigned kYesId = 6;
    static constexpr unsigned kNoId = 7;

    explicit CSkinMessageBox(CSkinManager* manager);
    ~CSkinMessageBox() override;

    // Whether the current skin of manager draws message boxes.
    [[nodiscard]] static bool InSkin(CSkinManager* manager);

    // Shows the box over owner until a key answers it; returns the Answer (kNo or kOk when
    // the box was closed another way).
    int Run(QWidget* owner, const QString& text, const QString& caption, IMessageBox::Icon icon,
            Keys keys);

    [[nodiscard]] QString Text() const;
    [[nodiscard]] QString CaptionLine() const;
    [[nodiscard]] IMessageBox::Icon Kind() const { return icon_; }
    [[nodiscard]] CSkinButton* Key(unsigned id) const;
    [[nodiscard]] std::vector<CSkinButton*> KeysShown() const;

    void ApplySkin() override;

protected:
    void paintEvent(QPaintEvent* event) override;
    void keyPressEvent(QKeyEvent* event) override;
    void showEvent(QShowEvent* event) override;

private:
    void MakeKeys();
    void Answer(int answer);

    IMessageBox::Icon icon_ = IMessageBox::Icon::None;
    bool question_ = false;
    Keys keys_ = Keys::Ok;
    QString caption_;
    QString text_;
    std::unique_ptr<CSkinButton> ok_;
    std::unique_ptr<CSkinButton> yes_;
    std::unique_ptr<CSkinButton> no_;
};
