#include "app/CAddressBookPanel.h"

#include <QAction>

#include "station/CAddressBook.h"
#include "widgets/CSkinButton.h"
#include "widgets/CSkinEdit.h"
#include "widgets/CSkinMenu.h"

namespace {

// The same processor by the same way: the lock code counts only where the entry has one.
bool SameWay(const AddressEntry& entry, const AddressEntry& fields) {
    if (entry.IsEthernet() != fields.IsEthernet()) {
        return false;
    }
    if (entry.IsEthernet() ? entry.host != fields.host || entry.port != fields.port
                           : entry.portName != fields.portName) {
        return false;
    }
    return !entry.lockCode || entry.lockCode == fields.lockCode;
}

QString Row(const AddressEntry& entry) {
    QString text = QString::fromStdString(entry.name) + QStringLiteral("   ") +
                   QString::fromStdString(entry.Address());
    if (entry.origin == AddressEntry::Origin::Station) {
        text += QStringLiteral("   (station file)");
    }
    return text;
}

} // namespace

CAddressBookPanel::CAddressBookPanel(CSkinManager* manager, CAddressBook& book, Fields fields)
    : manager_(manager), book_(book), fields_(std::move(fields)) {}

CAddressBookPanel::~CAddressBookPanel() = default;

void CAddressBookPanel::Create(QWidget* parent) {
    name_ = std::make_unique<CSkinEdit>("SettingsBookName", manager_);
    name_->Create(parent, kNameId);
    name_->setMaxLength(static_cast<int>(CAddressBook::kMaxNameLength));
    name_->setPlaceholderText(QStringLiteral("name, e.g. FM main"));
    const auto makeKey = [&](const char* section, unsigned id, void (CAddressBookPanel::*act)()) {
        auto key = std::make_unique<CSkinButton>(section, manager_);
        key->Create(parent, id);
        connect(key.get(), &QAbstractButton::clicked, this, act);
        return key;
    };
    list_ = makeKey("SettingsBookList", kListId, &CAddressBookPanel::OpenList);
    save_ = makeKey("SettingsBookSave", kSaveId, &CAddressBookPanel::SaveEntry);
    rename_ = makeKey("SettingsBookRename", kRenameId, &CAddressBookPanel::RenameEntry);
    delete_ = makeKey("SettingsBookDelete", kDeleteId, &CAddressBookPanel::DeleteEntry);
    menu_ = std::make_unique<CSkinMenu>(manager_, "PopupMenu", parent);
    menu_->Create();
    connect(menu_.get(), &CSkinMenu::commandChosen, this, [this](int index) {
        const std::vector<AddressEntry> entries = ListedEntries();
        if (index >= 0 && static_cast<std::size_t>(index) < entries.size()) {
            Choose(entries[static_cast<std::size_t>(index)].name);
        }
    });
}

CSkinButton* CAddressBookPanel::Key(unsigned id) const {
    switch (id) {
    case kListId:
        return list_.get();
    case kSaveId:
        return save_.get();
    case kRenameId:
        return rename_.get();
    case kDeleteId:
        return delete_.get();
    default:
        return nullptr;
    }
}

std::vector<QWidget*> CAddressBookPanel::TabChain() const {
    return {name_.get(), list_.get(), save_.get(), rename_.get(), delete_.get()};
}

std::vector<AddressEntry> CAddressBookPanel::ListedEntries() const {
    return book_.Entries();
}

void CAddressBookPanel::OpenList() {
    menu_->clear();
    const std::vector<AddressEntry> entries = ListedEntries();
    if (entries.empty()) {
        fields_.notice(QStringLiteral("The address book is empty: type a name and press SAVE to "
                                      "keep the way and password shown under it."));
        return;
    }
    for (std::size_t i = 0; i < entries.size(); ++i) {
        menu_->AddItem(static_cast<int>(i), Row(entries[i]));
    }
    menu_->popup(name_->mapToGlobal(QPoint(0, name_->height())));
}

bool CAddressBookPanel::Choose(const std::string& name) {
    const AddressEntry* entry = book_.Find(name);
    if (entry == nullptr) {
        return false;
    }
    const AddressEntry chosen = *entry;
    chosen_ = chosen.name;
    name_->setText(QString::fromStdString(chosen.name));
    fields_.show(chosen);
    fields_.notice(QString());
    return true;
}

void CAddressBookPanel::NameMatching(const AddressEntry& fields) {
    for (const AddressEntry& entry : ListedEntries()) {
        if (SameWay(entry, fields)) {
            chosen_ = entry.name;
            name_->setText(QString::fromStdString(entry.name));
            return;
        }
    }
}

std::string CAddressBookPanel::TypedName() const {
    return CAddressBook::Tidy(name_->text().toStdString());
}

void CAddressBookPanel::SaveEntry() {
    AddressEntry entry = fields_.read();
    entry.name = TypedName();
    const bool replaces = book_.Find(entry.name) != nullptr;
    if (book_.Save(entry) != CAddressBook::Result::Done) {
        fields_.notice(QStringLiteral("Type a name for the processor first, then press SAVE."));
        return;
    }
    chosen_ = entry.name;
    name_->setText(QString::fromStdString(entry.name));
    fields_.notice(QStringLiteral("%1 \"%2\": %3")
                       .arg(replaces ? QStringLiteral("Saved over") : QStringLiteral("Saved"),
                            QString::fromStdString(entry.name),
                            QString::fromStdString(entry.Address())));
}

void CAddressBookPanel::RenameEntry() {
    const std::string newName = TypedName();
    if (chosen_.empty()) {
        fields_.notice(QStringLiteral("Choose the entry to rename from the list first, then type "
                                      "its new name and press RENAME."));
        return;
    }
    switch (book_.Rename(chosen_, newName)) {
    case CAddressBook::Result::Done:
        fields_.notice(QStringLiteral("\"%1\" is now \"%2\"")
                           .arg(QString::fromStdString(chosen_), QString::fromStdString(newName)));
        chosen_ = newName;
        break;
    case CAddressBook::Result::NoName:
        fields_.notice(QStringLiteral("Type the new name first, then press RENAME."));
        break;
    case CAddressBook::Result::NameTaken:
        fields_.notice(QStringLiteral("Another entry is called \"%1\" already.")
                           .arg(QString::fromStdString(newName)));
        break;
    case CAddressBook::Result::FromStationFile:
        fields_.notice(QStringLiteral("\"%1\" comes from the station file: rename it there.")
                           .arg(QString::fromStdString(chosen_)));
        break;
    case CAddressBook::Result::NotFound:
        fields_.notice(QStringLiteral("\"%1\" is no longer in the address book.")
                           .arg(QString::fromStdString(chosen_)));
        chosen_.clear();
        break;
    }
}

void CAddressBookPanel::DeleteEntry() {
    const std::string name = TypedName().empty() ? chosen_ : TypedName();
    switch (book_.Remove(name)) {
    case CAddressBook::Result::Done:
        fields_.notice(QStringLiteral("Deleted \"%1\"").arg(QString::fromStdString(name)));
        chosen_.clear();
        name_->clear();
        break;
    case CAddressBook::Result::FromStationFile:
        fields_.notice(QStringLiteral("\"%1\" comes from the station file: delete it there.")
                           .arg(QString::fromStdString(name)));
        break;
    default:
        fields_.notice(
            QStringLiteral("No entry is called \"%1\".").arg(QString::fromStdString(name)));
        break;
    }
}

std::string CAddressBookPanel::OnApplied(const AddressEntry& applied) {
    const AddressEntry* entry = book_.Find(TypedName());
    if (entry == nullptr || !SameWay(*entry, applied)) {
        return {};
    }
    const std::string name = entry->name;
    book_.MarkUsed(name);
    chosen_ = name;
    return name;
}
