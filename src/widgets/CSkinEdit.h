#pragma once

#include <string>

#include <QLineEdit>

#include "skin/CSkinClient.h"

class CSkinManager;

// A single-line edit field placed, coloured ("bkcolor", "textcolor") and given its font by
// its skin section.
class CSkinEdit : public QLineEdit, public CSkinClient {
    Q_OBJECT
public:
    CSkinEdit(std::string section, CSkinManager* manager);

    void Create(QWidget* parent, unsigned controlId);
    void ApplySkin() override;
};
