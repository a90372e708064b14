#pragma once

#include <string>

#include <QImage>
#include <QRegion>
#include <QTimer>

#include "widgets/CSkinDialog.h"

// The busy strip: "count" cells of which three lit ones sweep back and forth, one step every
// "speed" milliseconds. It steps on its own timer on the GUI thread, or is moved by its owner
// in manual mode.
class CSkinProgress : public CSkinDialog {
    Q_OBJECT
public:
    static constexpr int kDefaultIntervalMs = 30;

    explicit CSkinProgress(CSkinManager* manager, std::string section = "ProgressBar");
    ~CSkinProgress() override;

    // Creates the strip as a child at its skin position and starts it unless manual is set.
    void Create(QWidget* parent, unsigned controlId, bool manual = false);
    void ApplySkin() override;

    // One step of the sweep: the lit group's centre runs from 1 to count - 2 and back.
    void Step();
    // Moves the lit group's centre, clamped to 0 .. count.
    void SetPos(int position);
    [[nodiscard]] int Position() const { return position_; }
    [[nodiscard]] int Count() const { return count_; }
    [[nodiscard]] int IntervalMs() const { return timer_.interval(); }
    [[nodiscard]] bool IsRunning() const { return timer_.isActive(); }
    // The rectangle of cell i inside the strip.
    [[nodiscard]] QRect CellRect(int cell) const;
    [[nodiscard]] static bool IsLit(int cell, int position);

protected:
    void paintEvent(QPaintEvent* event) override;
    void resizeEvent(QResizeEvent* event) override;
    void mousePressEvent(QMouseEvent* event) override;

private:
    void PrepareBackground();

    const QImage* active_ = nullptr;
    const QImage* inactive_ = nullptr;
    QRegion activeRegion_;
    QRegion inactiveRegion_;
    QRect cell_;
    const QImage* source_ = nullptr;
    const QImage* sourceTwin_ = nullptr;
    QImage activeArt_;
    QImage inactiveArt_;
    QPoint resizeLine_;
    int32_t backgroundMask_ = 0;
    QImage stretched_;
    QRegion backgroundRegion_;
    QPoint firstCell_;
    int count_ = 0;
    bool forward_ = true;
    int position_ = 0;
    QTimer timer_;
};
