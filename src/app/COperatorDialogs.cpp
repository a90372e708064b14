#include "app/COperatorDialogs.h"

#include <QFileDialog>
#include <QFileInfo>
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

std::optional<std::string> COperatorDialogs::ChooseSaveFile(const std::string& filter,
                                                            const std::string& suggested) {
    // The dialog adds the suggested name's extension to a name typed without one, and asks
    // before it overwrites a file, the one with the added extension included.
    QFileDialog dialog(owner_);
    dialog.setAcceptMode(QFileDialog::AcceptSave);
    dialog.setFileMode(QFileDialog::AnyFile);
    dialog.setNameFilter(QString::fromStdString(filter));
    const QString name = QString::fromStdString(suggested);
    const QString suffix = QFileInfo(name).suffix();
    if (!suffix.isEmpty()) {
        dialog.setDefaultSuffix(suffix);
    }
    dialog.selectFile(name);
    if (dialog.exec() != QDialog::Accepted || dialog.selectedFiles().isEmpty()) {
        return std::nullopt;
    }
    return Chosen(dialog.selectedFiles().front());
}

bool COperatorDialogs::Ask(const std::string& text, const std::string& caption) {
    QMessageBox box(QMessageBox::Question, QString::fromStdString(caption),
                    QString::fromStdString(text), QMessageBox::Yes | QMessageBox::No, owner_);
    box.setDefaultButton(QMessageBox::No);
    return box.exec() == QMessageBox::Yes;
}
