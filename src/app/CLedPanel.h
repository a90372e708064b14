#pragma once

#include <array>
#include <cstdint>
#include <string>

#include <QImage>
#include <QString>

#include "link/ByteString.h"
#include "widgets/CSkinDialog.h"

class CSkinManager;

// The meter panel (section "Leds", control id 1023): a matrix of LED segments drawn from the
// last LED state reply over the meter view's background.
//
// Use: construct with the skin manager, Create(mainWindow); the connect sequence calls
// SetProcessorType with the first byte of the control description, every LED reply calls
// SetData with the whole reply (acknowledgement byte first), a disconnect calls Clear (the
// dark matrix stays), and the meter-view byte chooses SetBackground("background_agc") or
// SetBackground("background_io").
class CLedPanel : public CSkinDialog {
    Q_OBJECT
public:
    static constexpr unsigned kControlId = 1023;
    // The LED state reply's 29 bytes and the zero byte kept after them.
    static constexpr std::size_t kStateSize = 30;
    static constexpr std::size_t kReplySize = 29;
    static constexpr int kImageCount = 7;

    explicit CLedPanel(CSkinManager* manager);
    ~CLedPanel() override;

    // Creates the panel as a child of parent at its skin place.
    void Create(QWidget* parent);

    // Keeps the first 29 bytes of reply (missing ones read as 0) and repaints.
    void SetData(const ByteString& reply);
    // Forgets the data: every segment shows unlit. Type and background stay.
    void Clear();
    // Takes that image of the section as background and repaints.
    void SetBackground(const std::string& key);
    // The processor reports bypass: the title line says BYPASSED, in words, not by colour
    // alone.
    void SetBypassed(bool bypassed);
    // Replies have stopped: the meters are dimmed and "NO REPLY" stands over them, with the
    // time of the last reply when one is given.
    void SetStale(bool stale, const QString& lastReply = {});
    [[nodiscard]] bool IsBypassed() const { return bypassed_; }
    [[nodiscard]] bool IsStale() const { return stale_; }
    // The words drawn over the meters, empty when there are none.
    [[nodiscard]] QString StaleText() const;

    // Chooses the meter layout; no repaint.
    void SetProcessorType(std::uint8_t type) { processorType_ = type; }

    void ApplySkin() override;

    // Draws background and segments into the panel's off-screen image and returns it.
    const QImage& RenderFrame();

    [[nodiscard]] std::uint8_t ProcessorType() const { return processorType_; }
    [[nodiscard]] bool HasData() const { return hasData_; }
    [[nodiscard]] const std::array<std::uint8_t, kStateSize>& State() const { return state_; }
    [[nodiscard]] const std::string& BackgroundKey() const { return backgroundKey_; }

protected:
    void paintEvent(QPaintEvent* event) override;

private:
    void PrepareImages();

    std::uint8_t processorType_ = 0;
    std::array<std::uint8_t, kStateSize> state_{};
    bool hasData_ = false;
    std::string backgroundKey_ = "background";
    bool bypassed_ = false;
    bool stale_ = false;
    QString lastReply_;
    // The panel's image at twice the size, from the skin's twins, on a dense screen.
    QImage PanelImage(const std::string& key);

    bool dense_ = false;
    std::array<QImage, kImageCount> leds_;
    QImage background_;
    QImage frame_;
};
