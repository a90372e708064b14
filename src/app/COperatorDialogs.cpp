#include "app/COperatorDialogs.h"

#include <QFileDialog>
#include <QFileInfo>
#include <QInputDialog>
#include <QLineEdit>
#include <QMessageBox>
#include <QPointer>
#include <QString>

#include "app/CSkinMessageBox.h"
#include "widgets/CSkinDialog.h"

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

CSkinManager* COperatorDialogs::SkinnedOwner() const {
    const auto* skinned = dynamic_cast<const CSkinDialog*>(owner_);
    if (building_ || skinned == nullptr || !CSkinMessageBox::InSkin(skinned->Manager())) {
        return nullptr;
    }
    return skinned->Manager();
}

void COperatorDialogs::Show(const std::string& text, const std::string& caption, Icon icon) {
    if (CSkinManager* manager = SkinnedOwner()) {
        // A box asked for while this one is built or shown (a skin image that cannot be
        // loaded, a link event) takes the platform's box rather than recursing into the skin.
        // On the heap: the box is a child of its owner, which would delete it with itself.
        building_ = true;
        const QPointer<CSkinMessageBox> box = new CSkinMessageBox(manager);
        box->Run(owner_, QString::fromStdString(text), QString::fromStdString(caption), icon,
                 CSkinMessageBox::Keys::Ok);
        delete box.data();
        building_ = false;
        return;
    }
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
    if (CSkinManager* manager = SkinnedOwner()) {
        building_ = true;
        const QPointer<CSkinMessageBox> box = new CSkinMessageBox(manager);
        const bool yes =
            box->Run(owner_, QString::fromStdString(text), QString::fromStdString(caption),
                     Icon::None, CSkinMessageBox::Keys::YesNo) == CSkinMessageBox::kYes;
        delete box.data();
        building_ = false;
        return yes;
    }
    QMessageBox box(QMessageBox::Question, QString::fromStdString(caption),
                    QString::fromStdString(text), QMessageBox::Yes | QMessageBox::No, owner_);
    box.setDefaultButton(QMessageBox::No);
    return box.exec() == QMessageBox::Yes;
}

std::optional<std::string> COperatorDialogs::AskNote(const std::string& text,
                                                     const std::string& caption) {
    bool ok = false;
    const QString note =
        QInputDialog::getText(owner_, QString::fromStdString(caption), QString::fromStdString(text),
                              QLineEdit::Normal, QString(), &ok);
    if (!ok) {
        return std::nullopt;
    }
    return note.trimmed().toStdString();
}
