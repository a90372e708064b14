#include "app/COperatorDialogs.h"

#include <QFileDialog>
#include <QMessageBox>
#include <QString>

namespace {

QMessageBox::Icon ToQt(IMessageBox::Icon icon) {
    switch (icon) {
    case IMessageBox::Icon::Information:
        return QMessageBox::Information;
    case IMessageBox::Icon::Warning:
        return QMessageBox::Warning;
    case IMessageBox::Icon::Error:
        return QMessageBox::Critical;
    case IMessageBox::Icon::None:
        break;
    }
    return QMessageBox::NoIcon;
}

std::optional<std::string> Chosen(const QString& path) {
    if (path.isEmpty()) {
        return std::nullopt;
    }
    return path.toStdString();
}

} // namespace

void COperatorDialogs::Show(const std::string& text, const std::string& caption, Icon icon) {
    QMessageBox box(ToQt(icon), QString::fromStdString(caption), QString::fromStdString(text),
                    QMessageBox::Ok, owner_);
    box.exec();
}

std::optional<std::string> COperatorDialogs::ChooseOpenFile(const std::string& filter) {
    return Chosen(
        QFileDialog::getOpenFileName(owner_, QString(), QString(), QString::fromStdString(filter)));
}

std::optional<std::string> COperatorDialogs::ChooseSaveFile(const std::string& filter) {
    // The dialog asks before it overwrites a file.
    return Chosen(
        QFileDialog::getSaveFileName(owner_, QString(), QString(), QString::fromStdString(filter)));
}

bool COperatorDialogs::Ask(const std::string& text, const std::string& caption) {
    QMessageBox box(QMessageBox::Question, QString::fromStdString(caption),
                    QString::fromStdString(text), QMessageBox::Yes | QMessageBox::No, owner_);
    box.setDefaultButton(QMessageBox::No);
    return box.exec() == QMessageBox::Yes;
}
