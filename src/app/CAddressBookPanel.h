#pragma once

#include <functional>
#include <memory>
#include <string>
#include <vector>

#include <QObject>
#include <QString>

#include "station/AddressEntry.h"

class CAddressBook;
class CSkinButton;
class CSkinEdit;
class CSkinManager;
class CSkinMenu;
class QWidget;

// The address book's row on the settings panel: the entry's name, the key that lists the
// entries (last used first) and SAVE, RENAME and DELETE. Choosing an entry puts its way and
// lock code into the panel's fields; CONNECT then connects. The controls are children of the
// panel, placed by their skin sections.
class CAddressBookPanel : public QObject {
    Q_OBJECT
public:
    static constexpr unsigned kNameId = 1060;
    static constexpr unsigned kListId = 1061;
    static constexpr unsigned kSaveId = 1062;
    static constexpr unsigned kRenameId = 1063;
    static constexpr unsigned kDeleteId = 1064;

    // What the panel lends the row.
    struct Fields {
        // The way and lock code as the panel's fields show them (name left empty).
        std::function<AddressEntry()> read;
        // Puts an entry's way and lock code into the fields.
        std::function<void(const AddressEntry&)> show;
        // One line for the operator on the panel (empty: none).
        std::function<void(const QString&)> notice;
    };

    CAddressBookPanel(CSkinManager* manager, CAddressBook& book, Fields fields);
    ~CAddressBookPanel() override;

    void Create(QWidget* parent);

    // The entries as the list shows them, in its order.
    [[nodiscard]] std::vector<AddressEntry> ListedEntries() const;
    // Opens the list under the name field.
    void OpenList();
    // Chooses the entry called name as the list does; false when there is none.
    bool Choose(const std::string& name);
    // Names the entry, last used first, whose way and lock code the fields show (at start:
    // the settings of the last connect); nothing when none does.
    void NameMatching(const AddressEntry& fields);
    // SAVE: the fields under the name typed. RENAME: the chosen entry gets the name typed.
    // DELETE: the entry named goes. Each says on the panel what it did or why it did not.
    void SaveEntry();
    void RenameEntry();
    void DeleteEntry();
    // A connect applied these fields: the entry in use (marked used, so it comes first) when
    // they are the way and lock code of the entry named in the name field; else empty.
    std::string OnApplied(const AddressEntry& applied);

    [[nodiscard]] CSkinEdit* NameEdit() const { return name_.get(); }
    [[nodiscard]] CSkinButton* Key(unsigned id) const;
    [[nodiscard]] CSkinMenu* List() const { return menu_.get(); }
    // The row's controls in reading order, for the Tab chain.
    [[nodiscard]] std::vector<QWidget*> TabChain() const;

private:
    [[nodiscard]] std::string TypedName() const;

    CSkinManager* manager_;
    CAddressBook& book_;
    Fields fields_;
    std::unique_ptr<CSkinEdit> name_;
    std::unique_ptr<CSkinButton> list_;
    std::unique_ptr<CSkinButton> save_;
    std::unique_ptr<CSkinButton> rename_;
    std::unique_ptr<CSkinButton> delete_;
    std::unique_ptr<CSkinMenu> menu_;
    // The entry last chosen or saved, whose name the field showed then.
    std::string chosen_;
};
