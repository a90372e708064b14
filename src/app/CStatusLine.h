#pragma once

#include <string>

#include <QTimer>

#include "widgets/CSkinStatic.h"

class CSkinManager;

// The main window's status line (skin section "StatusLine", on the foot line at the
// bottom): a short confirmation of what the operator just did, which clears itself after a
// while so that it never tells of something long past.
class CStatusLine : public CSkinStatic {
    Q_OBJECT
public:
    static constexpr int kShowMs = 8000;

    explicit CStatusLine(CSkinManager* manager, std::string section = "StatusLine");

    // Shows text (UTF-8) until forMs have passed or another text comes.
    void Show(const std::string& text, int forMs = kShowMs);

private:
    QTimer clear_;
};
