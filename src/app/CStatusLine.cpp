#include "app/CStatusLine.h"

CStatusLine::CStatusLine(CSkinManager* manager, std::string section)
    : CSkinStatic(std::move(section), manager) {
    clear_.setSingleShot(true);
    connect(&clear_, &QTimer::timeout, this, [this] { SetCaption(QString()); });
}

void CStatusLine::Show(const std::string& text, int forMs) {
    SetCaption(QString::fromStdString(text));
    clear_.start(forMs);
}
