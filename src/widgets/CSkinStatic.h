#pragma once

#include <string>

#include <QColor>
#include <QFont>
#include <QImage>
#include <QString>
#include <QWidget>

#include "skin/CSkinClient.h"

class CSkinManager;

// A text drawn from its skin section over a stretched "background", a solid "bkcolor", or
// (neither set) whatever its parent shows beneath it, with an optional drop shadow. The text
// is held by the control itself.
class CSkinStatic : public QWidget, public CSkinClient {
    Q_OBJECT
public:
    CSkinStatic(std::string section, CSkinManager* manager);

    void Create(QWidget* parent, unsigned controlId);
    void ApplySkin() override;

    // Replaces the drawn text and repaints this control only.
    void SetCaption(const QString& text);
    [[nodiscard]] const QString& Caption() const { return text_; }
    [[nodiscard]] const QFont& TextFont() const { return font_; }

protected:
    void paintEvent(QPaintEvent* event) override;
    void resizeEvent(QResizeEvent* event) override;

private:
    void StretchBackground();

    QString text_;
    QFont font_;
    QColor background_;
    bool hasBackgroundColour_ = false;
    QColor textColour_;
    QColor shadowColour_;
    QPoint shadowOffset_;
    int32_t format_ = 0;
    const QImage* source_ = nullptr;
    const QImage* twin_ = nullptr;
    QPoint resizeLine_;
    QImage stretched_;
};
