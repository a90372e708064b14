#pragma once

#include <memory>
#include <optional>
#include <string>
#include <vector>

#include <QEventLoop>
#include <QPoint>
#include <QPointer>
#include <QRegion>
#include <QWidget>

#include "skin/CSkinClient.h"

class CSkinManager;
class CSkinStatic;
class QImage;

// A window drawn from its skin section: size and shape from "background" and "bkcolormask",
// position from "offset_left"/"offset_top", "transparency", "caption" and the static texts
// named by "statics". A popup can be dragged anywhere on its surface and run modally.
class CSkinDialog : public QWidget, public CSkinClient {
    Q_OBJECT
public:
    CSkinDialog(std::string section, CSkinManager* manager);
    ~CSkinDialog() override;

    // Creates the window as a child of parent, or as a frameless popup when there is no
    // parent or popup is set; offset shifts it from its skin position (parent coordinates
    // for a child, screen coordinates for a popup).
    void Create(QWidget* parent, std::optional<QPoint> offset, bool popup);
    // Runs the window as a popup centred on the screen (overParent: on parent's window)
    // until EndModal; input to parent and its window is blocked meanwhile, the modal window
    // itself stays enabled. Returns 0 when the window is destroyed while it runs.
    int DoModal(QWidget* parent, bool overParent = false);
    // Ends the modal loop with result and hides the window.
    void EndModal(int result);
    // Where DoModal puts the window instead of the screen's centre (moved wholly onto a
    // screen either way).
    void SetPlacement(std::optional<QPoint> topLeft) { placement_ = topLeft; }

    void ApplySkin() override;

    [[nodiscard]] const QImage* Background() const { return background_; }
    [[nodiscard]] bool IsChild() const { return child_; }
    // A left-button drag of this popup is in progress.
    [[nodiscard]] bool IsDragging() const { return dragging_; }
    [[nodiscard]] bool IsTopLevel() const { return topLevel_; }
    // The static texts made from "statics", in list order.
    [[nodiscard]] std::vector<CSkinStatic*> Statics() const;

protected:
    void paintEvent(QPaintEvent* event) override;
    void mousePressEvent(QMouseEvent* event) override;
    void mouseMoveEvent(QMouseEvent* event) override;
    void mouseReleaseEvent(QMouseEvent* event) override;
    void closeEvent(QCloseEvent* event) override;

private:
    void ApplyStatics();

    const QImage* background_ = nullptr;
    QImage art_; // the background as painted: its twin on a dense screen
    bool dragging_ = false;
    QPoint dragAnchor_;
    bool topLevel_ = true;
    bool child_ = false;
    std::string staticsList_;
    std::vector<std::unique_ptr<CSkinStatic>> statics_;
    std::optional<QPoint> placement_;
    QEventLoop* modalLoop_ = nullptr;
    int modalResult_ = 0;
    bool modalEnded_ = false;
};
