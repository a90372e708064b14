#pragma once

#include <QString>
#include <QWidget>

class CSkinMenu;

// One row of a skinned menu: measured and painted from the menu's font and colours. It is
// selected while the pointer is over it or while the keyboard rests on it.
class SkinMenuRow : public QWidget {
    Q_OBJECT
public:
    SkinMenuRow(CSkinMenu& menu, int command, QString text);

    [[nodiscard]] QSize sizeHint() const override;
    [[nodiscard]] QSize minimumSizeHint() const override { return sizeHint(); }
    [[nodiscard]] bool IsSelected() const { return hovered_ || hasFocus(); }
    [[nodiscard]] int Command() const { return command_; }

protected:
    void paintEvent(QPaintEvent* event) override;
    void enterEvent(QEnterEvent* event) override;
    void leaveEvent(QEvent* event) override;
    void mouseReleaseEvent(QMouseEvent* event) override;
    void keyPressEvent(QKeyEvent* event) override;
    void focusInEvent(QFocusEvent* event) override;
    void focusOutEvent(QFocusEvent* event) override;

private:
    void Choose();

    CSkinMenu& menu_;
    int command_;
    QString text_;
    bool hovered_ = false;
};
