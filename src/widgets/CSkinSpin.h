#pragma once

#include <string>
#include <optional>
#include <vector>

#include <QElapsedTimer>
#include <QImage>
#include <QPointer>
#include <QRegion>
#include <QStringList>
#include <QTimer>
#include <QWidget>

#include "skin/CSkinClient.h"

class CSkinManager;
class QLineEdit;
class SkinFocusOverlay;

// Up and down arrows drawn from the skin beside one or more value fields, each shown in an
// edit field of its own. The arrows step the current field, repeat while held and speed up;
// a field that passes its range wraps and carries into the next field (the first field is
// the least significant); a single field wraps or clamps.
class CSkinSpin : public QWidget, public CSkinClient {
    Q_OBJECT
public:
    // The notification number a value change stands for.
    static constexpr unsigned kValueChangedMessage = 0x0590;
    static constexpr int kFirstRepeatMs = 500;
    static constexpr int kRepeatMs = 100;

    enum class FieldKind { List = 0, Numeric = 1, Text = 2 };
    enum class ArrowState { None = 0, HoverUp = 1, PressUp = 2, HoverDown = 3, PressDown = 4 };
    // After seconds of holding, one repeat moves increment steps.
    struct Acceleration {
        int seconds;
        int increment;
    };

    CSkinSpin(std::string section, CSkinManager* manager);

    void Create(QWidget* parent, unsigned controlId);
    void ApplySkin() override;

    // Used only by a spin with one field: past its range it wraps instead of clamping.
    void SetWrap(bool wrap) { wrap_ = wrap; }
    // Each returns the new field's index. The display becomes a child of the spin.
    int AddNumericField(double value, QLineEdit* display, std::string format, double minimum,
                        double maximum, double step);
    int AddListField(int index, QLineEdit* display, QStringList items, std::string format);
    // A field whose texts the owner supplies later (such as preset names); while it has no
    // texts it keeps any value and shows nothing.
    int AddTextField(QLineEdit* display);
    void SetItems(int field, QStringList items);

    // The field's stored value, after wrapping, carrying or clamping; list and text: the
    // entry index.
    [[nodiscard]] double GetValue(int field) const;
    // Stores value in field after wrapping, carrying or clamping it; notify emits
    // valueChanged for every field set.
    void SetValue(double value, int field, bool notify);
    // The client area left of the arrows, where the owner places the displays.
    [[nodiscard]] QRect GetTextRect() const;

    [[nodiscard]] int FieldCount() const { return static_cast<int>(fields_.size()); }
    [[nodiscard]] int CurrentField() const { return current_; }
    void SetCurrentField(int field);
    [[nodiscard]] ArrowState Arrows() const { return arrows_; }
    // Whether the focus mark is shown (one of the value fields has the keyboard focus).
    [[nodiscard]] bool IsFocusMarked() const;
    // The arrows' rectangles at the spin's current size.
    [[nodiscard]] QRect UpRect() const;
    [[nodiscard]] QRect DownRect() const;
    void SetAccelerations(std::vector<Acceleration> table);

signals:
    void valueChanged(int field);

protected:
    void paintEvent(QPaintEvent* event) override;
    void resizeEvent(QResizeEvent* event) override;
    void mousePressEvent(QMouseEvent* event) override;
    void mouseMoveEvent(QMouseEvent* event) override;
    void mouseReleaseEvent(QMouseEvent* event) override;
    void leaveEvent(QEvent* event) override;
    void changeEvent(QEvent* event) override;
    bool eventFilter(QObject* watched, QEvent* event) override;

private:
    struct Field {
        FieldKind kind = FieldKind::Numeric;
        QPointer<QLineEdit> display;
        std::string format;
        QStringList items;
        double minimum = 0;
        double maximum = 0;
        double step = 1;
        double value = 0;
    };

    int AddField(Field field, QLineEdit* display);
    double StepOf(const Field& field) const;
    // The number a numeric field's display text holds as typed, if it holds one.
    std::optional<double> TypedValue(int field) const;
    // Takes what was typed into a field: a number is kept within the field's range (typed
    // text never wraps or carries), anything else gives back the value shown.
    void CommitTyped(int field);
    QString TextOf(const Field& field) const;
    void ShowValue(int field);
    void StepCurrent(int steps);
    void OnTimer();
    void SetArrows(ArrowState state);
    void PrepareImages();

    std::vector<Field> fields_;
    int current_ = 0;
    // The field whose text is being typed: it is neither re-formatted nor taken until
    // Enter or the loss of the focus.
    int editing_ = -1;
    bool wrap_ = false;
    ArrowState arrows_ = ArrowState::None;
    std::vector<Acceleration> accelerations_{{0, 1}, {2, 5}, {5, 20}};
    size_t accelerationIndex_ = 0;
    QElapsedTimer held_;
    QTimer timer_;

    SkinFocusOverlay* focusMark_ = nullptr; // a child, owned by Qt
    const QImage* background_ = nullptr;
    QPoint resizeLine_;
    int32_t backgroundMask_ = 0;
    QImage stretched_;
    QRegion backgroundRegion_;
    // Up arrow states then down arrow states: normal, hovered, pressed, disabled.
    const QImage* arrowSources_[8] = {};
    const QImage* arrowTwins_[8] = {};
    const QImage* backgroundTwin_ = nullptr;
    int32_t arrowMask_ = 0;
    QImage arrowImages_[8];
    QRegion upRegion_;
    QRegion downRegion_;
    QPoint upResize_;
    QPoint downResize_;
    QPoint upOffset_;   // from the right, from the top
    QPoint downOffset_; // from the right, from the bottom
};
