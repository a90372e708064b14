#pragma once

#include <string>

#include <QPointer>
#include <QTimer>

#include "widgets/CSkinButton.h"

// An arrow button that scrolls a target while held: one line step at once, the next after
// 250 ms, then one every 50 ms until the button is released or loses the focus.
class CSkinRepeatButton : public CSkinButton {
    Q_OBJECT
public:
    enum class Direction { LineUp = 0, LineDown = 1, LineLeft = 2, LineRight = 3 };

    static constexpr int kFirstRepeatMs = 250;
    static constexpr int kRepeatMs = 50;

    CSkinRepeatButton(std::string section, CSkinManager* manager);

    // target is a scroll area (its scroll bar of the direction's orientation steps) or a
    // slider or scroll bar itself; it may change at any time and may be null.
    void SetTarget(QWidget* target, Direction direction);
    [[nodiscard]] QWidget* Target() const { return target_; }
    [[nodiscard]] bool IsHeld() const { return held_; }

signals:
    // Every step, whether or not a target took it.
    void stepped(int direction);

protected:
    void mousePressEvent(QMouseEvent* event) override;
    void mouseReleaseEvent(QMouseEvent* event) override;
    void focusOutEvent(QFocusEvent* event) override;
    void changeEvent(QEvent* event) override;

private:
    void Step();
    void OnTimer();

    QPointer<QWidget> target_;
    Direction direction_ = Direction::LineUp;
    bool held_ = false;
    QTimer timer_;
};
