#pragma once

#include <cstdint>
#include <memory>
#include <string>

#include <QColor>

#include "app/IPresetListView.h"
#include "widgets/CSkinList.h"

class CPresetNameEdit;
class CSkinManager;
class CSkinMenu;

// The preset list of the main window (skin section "List", control id 1050): column 0 the
// label ("U1:".., "F1:.."), column 1 the name with the " (TR)", " (DP)" and " (DEF)" marks.
// Item i is preset i. Owner-drawn in the skin's colours; the current preset stands out, the
// selected one more so. A right click selects the item and opens the full popup menu for a
// user preset or the short one (Load, Save to file) for a factory preset. Names are edited
// in place in the "ListEdit" editor.
//
// The main window connects:
//   presetCommand(preset, command)  (message 0x543) -> CPresetBook::RunCommand(command)
//   presetNameEdited(preset)        (message 0x544) -> CPresetBook::OnNameEdited(preset)
//   presetSelected(preset)          (message 0x545) -> enable Save, Rename and Load-from-file
//                                                      for preset < 8, grey them otherwise
// and hands it the markers of every changed LED state through SetMarkers.
class CPresetList : public CSkinList, public IPresetListView {
    Q_OBJECT
public:
    // The numbers of the messages the list reports with.
    static constexpr int kMsgPresetCommand = 0x543;
    static constexpr int kMsgPresetNameEdited = 0x544;
    static constexpr int kMsgPresetSelected = 0x545;
    static constexpr unsigned kControlId = 1050;

    explicit CPresetList(CSkinManager* manager, std::string section = "List");
    ~CPresetList() override;

    void Create(QWidget* parent, unsigned controlId = kControlId);
    void ApplySkin() override;

    // The markers of the LED state; repaints.
    void SetMarkers(int tr, int dp, int def, int current, int change);
    [[nodiscard]] int TrPreset() const { return tr_; }
    [[nodiscard]] int DpPreset() const { return dp_; }
    [[nodiscard]] int DefPreset() const { return def_; }
    [[nodiscard]] int ChangeFlag() const { return change_; }

    // IPresetListView
    void RemoveAllPresets() override;
    [[nodiscard]] bool HasPreset(int preset) const override;
    void InsertPreset(int preset) override;
    void SetPresetName(int preset, const std::string& name) override;
    [[nodiscard]] std::string PresetName(int preset) const override;
    [[nodiscard]] int SelectedPreset() const override;
    void ClearSelectionMark(int preset) override;
    void StartRename(int preset) override;
    [[nodiscard]] int CurrentPreset() const override { return current_; }

    // Column 1 as drawn: the name and its marks.
    [[nodiscard]] QString ShownName(int preset) const;
    // h + h / 4, h being the font's height plus its external leading.
    [[nodiscard]] int ItemHeight() const;
    // The preset whose name is being edited, or -1.
    [[nodiscard]] int EditedPreset() const { return edited_; }
    [[nodiscard]] CPresetNameEdit* Editor() const { return editor_.get(); }
    [[nodiscard]] CSkinMenu* FullMenu() const { return fullMenu_.get(); }
    [[nodiscard]] CSkinMenu* ShortMenu() const { return shortMenu_.get(); }
    // Ends an edit as the operator would: accept keeps a non-empty text, else nothing changes.
    void EndRename(bool accept);

signals:
    void presetCommand(int preset, int command);
    void presetNameEdited(int preset);
    void presetSelected(int preset);

protected:
    void drawRow(QPainter* painter, const QStyleOptionViewItem& option,
                 const QModelIndex& index) const override;
    void paintEvent(QPaintEvent* event) override;
    void mousePressEvent(QMouseEvent* event) override;
    void scrollContentsBy(int dx, int dy) override;
    void resizeEvent(QResizeEvent* event) override;
    void updateGeometries() override;

private:
    void BuildMenus();
    void OnMenuCommand(int command);
    void OnSelectionChanged();
    void PlaceEditor();
    [[nodiscard]] QRect NameRect(int preset) const;
    [[nodiscard]] QTreeWidgetItem* Item(int preset) const;

    int tr_ = kNoPreset;
    int dp_ = kNoPreset;
    int def_ = kNoPreset;
    int current_ = kNoPreset;
    int change_ = 0;
    int edited_ = -1;
    int lastSelected_ = -1;
    QColor background_;
    QColor text_;
    QColor currentText_;
    QColor selectedText_;
    QColor selection_;
    std::unique_ptr<CPresetNameEdit> editor_;
    std::unique_ptr<CSkinMenu> fullMenu_;
    std::unique_ptr<CSkinMenu> shortMenu_;
};
