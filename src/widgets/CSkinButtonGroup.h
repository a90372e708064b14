#pragma once

#include <memory>
#include <string>
#include <vector>

#include <QColor>
#include <QFont>
#include <QImage>
#include <QPointer>
#include <QRegion>
#include <QStringList>

#include "widgets/CSkinDialog.h"

class CSkinButton;

// A panel of buttons (section "Button") in a grid of as many columns as fit the widest
// caption, of which exactly one is latched: the selection.
class CSkinButtonGroup : public CSkinDialog {
    Q_OBJECT
public:
    // The notification number the selection stands for.
    static constexpr unsigned kSelectionMessage = 0x0401;
    // Control identifier of the first button; button i carries kFirstButtonId + i.
    static constexpr unsigned kFirstButtonId = 0x9000;

    explicit CSkinButtonGroup(CSkinManager* manager, std::string section = "ButtonGroup",
                              std::string buttonSection = "Button");
    ~CSkinButtonGroup() override;

    // Creates the group as a child at its skin position shifted by offset, in parent
    // coordinates.
    void Create(QWidget* parent, unsigned controlId, QPoint offset);
    // Lays out one button per caption in as many columns as fit width (-1: the current
    // width). height, less the button margins, is the height of a row: -1 takes the skin's
    // "height" instead, and a row is never lower than the tallest caption. The group then
    // takes the height of its rows plus the margins.
    void SetButtons(const QStringList& captions, int width = -1, int height = -1);
    // Replaces the caption drawn at the top (the skin's "caption" until then).
    void SetCaption(const QString& caption);
    [[nodiscard]] const QString& Caption() const { return caption_; }
    // Latches button index and releases the others, without notification.
    void SetSelection(int index);
    // The latched button, or -1.
    [[nodiscard]] int Selection() const { return selected_; }
    [[nodiscard]] int Columns() const { return columns_; }
    [[nodiscard]] int Rows() const { return rows_; }
    [[nodiscard]] const std::vector<std::unique_ptr<CSkinButton>>& Buttons() const {
        return buttons_;
    }

    void ApplySkin() override;

signals:
    // A click latched button index of group groupId. Queued: it arrives from the event loop
    // once the click is over, so a receiver may destroy the group.
    void selected(unsigned groupId, int index);

protected:
    // Runs at once when a click latches a button, after the others are released and before
    // the selection signal (which is dropped should OnSelect destroy the group).
    virtual void OnSelect(int index);

    void paintEvent(QPaintEvent* event) override;
    void resizeEvent(QResizeEvent* event) override;
    void changeEvent(QEvent* event) override;
    // Arrow keys on a button move the focus to the neighbouring button (Space or Enter then
    // chooses it): an option on air changes only where the focus mark shows it.
    bool eventFilter(QObject* watched, QEvent* event) override;

private:
    void Layout();
    void OnClicked(int index);
    void PrepareBackground();

    std::string buttonSection_;
    unsigned controlId_ = 0;
    QPoint offset_;
    QStringList captions_;
    std::vector<std::unique_ptr<CSkinButton>> buttons_;
    int selected_ = -1;
    int requestedHeight_ = -1;
    int columns_ = 0;
    int rows_ = 0;
    QString caption_;
    QColor textColour_;
    QFont font_;
    const QImage* sources_[2] = {nullptr, nullptr};
    const QImage* twins_[2] = {nullptr, nullptr};
    QImage stretched_[2];
    QPoint resizeLine_;
    int32_t maskColour_ = 0;
    QRegion region_;
    QMargins inner_;
};
