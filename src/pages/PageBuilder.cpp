#include "pages/PageBuilder.h"

#include <algorithm>

#include <QFontMetrics>

#include "description/ControlRegistry.h"
#include "description/ValueText.h"
#include "pages/ParamButtonGroup.h"
#include "pages/ParamSlider.h"
#include "pages/ParamSpin.h"
#include "pages/ParamSpinEdit.h"
#include "pages/ParameterPage.h"
#include "pages/SpinFieldScale.h"
#include "pages/SpinFieldUnit.h"
#include "skin/CSkinClient.h"
#include "widgets/CSkinEdit.h"
#include "widgets/CSkinStatic.h"

namespace {

// Description texts are Latin-1.
QString Latin1(const std::string& text) {
    return QString::fromLatin1(text.data(), static_cast<qsizetype>(text.size()));
}

// A name as the operator sees it: a leading "*" marks the item for the tree and is never
// shown.
std::string ShownName(const std::string& name) {
    return !name.empty() && name.front() == '*' ? name.substr(1) : name;
}

// The spin caption: the shown name without "_" and with every run of spaces made one space.
std::string SpinCaption(const std::string& name) {
    std::string text;
    for (char ch : ShownName(name)) {
        if (ch == '_' || (ch == ' ' && !text.empty() && text.back() == ' ')) {
            continue;
        }
        text += ch;
    }
    return text;
}

std::string WithoutSpaces(const std::string& name) {
    std::string text;
    for (char ch : name) {
        if (ch != ' ') {
            text += ch;
        }
    }
    return text;
}

struct Box {
    int x, y, w, h;
};

Box BoxOf(const ParamSet& set) {
    return {static_cast<int>(set.boxLeft) * 10, static_cast<int>(set.boxTop) * 10,
            set.boxWidth * 10, set.boxHeight * 10};
}

// Hidden sets keep their controls (and registry entries), shrunk to nothing.
void HideIfHidden(const ParamSet& set, QWidget& control) {
    if (set.hidden != 0) {
        control.setGeometry(0, 0, 0, 0);
    }
}

template <typename Control> Control* Keep(ParameterPage& page, std::unique_ptr<Control> control) {
    Control* raw = control.get();
    page.AddControl(std::move(control));
    return raw;
}

} // namespace

PageBuilder::PageBuilder(const PageContext& context) : context_(context) {}

std::unique_ptr<ParameterPage>
PageBuilder::BuildPage(QWidget* parent, QSize area,
                       const std::vector<std::unique_ptr<ParamSet>>* sets,
                       const std::string& caption, PresetNameFields& presetFields) const {
    if (sets == nullptr || sets->empty()) {
        return nullptr;
    }
    auto page = std::make_unique<ParameterPage>(context_.skin);
    page->Create(parent, std::nullopt, false);
    page->hide();
    page->setGeometry(QRect(QPoint(0, 0), area));
    BuildCaption(*page, caption);
    for (const auto& set : *sets) {
        if (!set || set->items.empty()) {
            continue;
        }
        switch (set->items.front().style) {
        case 0:
            BuildSlider(*page, *set);
            break;
        case 1:
            BuildButtonGroup(*page, *set);
            break;
        case 2:
            BuildSpin(*page, *set, presetFields);
            break;
        default:
            break; // no control for other styles
        }
    }
    return page;
}

void PageBuilder::BuildCaption(ParameterPage& page, const std::string& caption) const {
    // The line: a centred static as wide as the skin makes it, holding as many spaces as
    // the caption has characters; the pieces are laid over it from the left.
    auto line = std::make_unique<CSkinStatic>("FrameCaption", context_.skin);
    line->Create(&page, line->FindFreeControlId());
    line->SetCaption(QString(static_cast<qsizetype>(caption.size()), QChar(' ')));
    CSkinStatic* lineStatic = Keep(page, std::move(line));
    // Measured in the font the pieces are drawn with, so that each piece is as wide as its
    // text and the line is centred on what is shown.
    const QFontMetrics metrics(lineStatic->TextFont());
    const int lineWidth = lineStatic->width();
    const int lineHeight = lineStatic->height();
    int x = (lineWidth - metrics.horizontalAdvance(Latin1(caption))) / 2;

    std::string rest = caption;
    while (!rest.empty()) {
        const std::size_t mark = rest.find('>');
        std::string segment;
        if (mark == std::string::npos) {
            segment = rest;
            rest.clear();
        } else {
            // The character before ">" (the space of " > ") is left out.
            segment = rest.substr(0, mark > 0 ? mark - 1 : 0);
            rest = rest.substr(mark + 1);
        }
        auto piece = std::make_unique<CSkinStatic>("FrameCaption", context_.skin);
        piece->Create(&page, piece->FindFreeControlId());
        piece->SetCaption(Latin1(segment));
        const int width = metrics.horizontalAdvance(Latin1(segment));
        piece->setGeometry(x, 0, width, lineHeight);
        piece->show();
        Keep(page, std::move(piece));
        x += width;
        if (!rest.empty()) {
            auto separator = std::make_unique<CSkinStatic>("Separator", context_.skin);
            separator->Create(&page, separator->FindFreeControlId());
            separator->move(x, separator->y());
            separator->show();
            x += separator->width();
            Keep(page, std::move(separator));
        }
    }
}

void PageBuilder::BuildSlider(ParameterPage& page, const ParamSet& set) const {
    const ParamItem& item = set.items.front();
    const Box box = BoxOf(set);

    auto caption = std::make_unique<CSkinStatic>("SliderCaption", context_.skin);
    caption->Create(&page, caption->FindFreeControlId());
    caption->setFont(context_.windowFont);
    caption->SetCaption(Latin1(ShownName(item.name)));
    caption->setGeometry(box.x, box.y, box.w, 13);
    HideIfHidden(set, *caption);
    Keep(page, std::move(caption));

    auto value = std::make_unique<CSkinStatic>("SliderValue", context_.skin);
    value->Create(&page, value->FindFreeControlId());
    value->setGeometry(box.x, box.y + 13, box.w, 27);
    HideIfHidden(set, *value);
    CSkinStatic* valueStatic = Keep(page, std::move(value));

    auto slider = std::make_unique<ParamSlider>(context_, item);
    slider->Create(&page, page.FindFreeControlId());
    slider->setGeometry(box.x + (box.w - 40) / 2, box.y + 40, 40, box.h - 40);
    slider->SetValueLabel(valueStatic);
    HideIfHidden(set, *slider);
    ParamSlider* raw = Keep(page, std::move(slider));
    if (context_.registry != nullptr) {
        context_.registry->Add(*raw, raw->Item());
    }
}

void PageBuilder::BuildButtonGroup(ParameterPage& page, const ParamSet& set) const {
    const ParamItem& item = set.items.front();
    const Box box = BoxOf(set);

    auto group = std::make_unique<ParamButtonGroup>(context_, item);
    group->Create(&page, page.FindFreeControlId(), QPoint(box.x, box.y - 6));
    group->SetCaption(Latin1(ShownName(item.name)));
    // The set's width; the height of -1 leaves the rows to the skin and the captions.
    group->SetButtons(ParamButtonGroup::Labels(item), box.w, -1);
    group->setFont(context_.windowFont);
    group->SetSelection(item.value);
    HideIfHidden(set, *group);
    ParamButtonGroup* raw = Keep(page, std::move(group));
    if (context_.registry != nullptr) {
        context_.registry->Add(*raw, raw->Item());
    }
}

void PageBuilder::BuildSpin(ParameterPage& page, const ParamSet& set,
                            PresetNameFields& presetFields) const {
    const Box box = BoxOf(set);
    auto spinOwned = std::make_unique<ParamSpin>(context_, set.items.front());
    spinOwned->Create(&page, page.FindFreeControlId());
    spinOwned->setGeometry(box.x, box.y, box.w, box.h);
    ParamSpin* spin = Keep(page, std::move(spinOwned));
    std::vector<QWidget*> made{spin};

    auto caption = std::make_unique<CSkinStatic>("SpinCaption", context_.skin);
    caption->Create(&page, caption->FindFreeControlId());
    caption->setFont(context_.windowFont);
    caption->SetCaption(Latin1(SpinCaption(set.items.front().name)));
    caption->setGeometry(box.x, box.y - 13, box.w, 13);
    made.push_back(Keep(page, std::move(caption)));

    const QRect text = spin->GetTextRect();
    const int n = static_cast<int>(set.items.size());
    const int fieldWidth = (text.width() - 4) / n;
    std::vector<ParamSpinEdit*> edits;
    // Fields that are parts of one time show ":" between them and no units.
    std::vector<bool> timeStep(static_cast<std::size_t>(n) + 1, false);
    for (int i = 1; i < n; ++i) {
        timeStep[static_cast<std::size_t>(i)] = SpinFieldUnit::IsTimeStep(
            set.items[static_cast<std::size_t>(i) - 1], set.items[static_cast<std::size_t>(i)]);
    }
    for (int i = 0; i < n; ++i) {
        const ParamItem& item = set.items[static_cast<std::size_t>(i)];
        const int offset = i * fieldWidth;
        if (i > 0 && timeStep[static_cast<std::size_t>(i)]) {
            // The ":" stands in the unused right end of the field before it, up to where the
            // next field starts, so the fields keep their places.
            auto divider = std::make_unique<CSkinEdit>("SpinTimeStatic", context_.skin);
            divider->Create(spin, spin->FindFreeControlId());
            const int width = std::min(
                fieldWidth, divider->fontMetrics().horizontalAdvance(QLatin1Char(':')) + 6);
            divider->setGeometry(text.left() + offset + 2 - width, text.top() + 2, width,
                                 text.height() - 4);
            divider->setAlignment(Qt::AlignCenter);
            divider->setText(QStringLiteral(":"));
            divider->setReadOnly(true);
            divider->setFocusPolicy(Qt::NoFocus);
            made.push_back(Keep(page, std::move(divider)));
        } else if (i > 0) {
            auto divider = std::make_unique<CSkinEdit>("SpinStatic", context_.skin);
            divider->Create(spin, spin->FindFreeControlId());
            divider->setGeometry(text.left() + offset, text.top() + 2, 2, text.height() - 4);
            divider->setText(Latin1(WithoutSpaces(item.name)));
            divider->setReadOnly(true);
            divider->setFocusPolicy(Qt::NoFocus);
            made.push_back(Keep(page, std::move(divider)));
        }
        ParamItem bound = item;
        bound.style = 2;
        auto edit = std::make_unique<ParamSpinEdit>(context_, bound, spin, n - 1 - i);
        edit->Create(spin, static_cast<unsigned>(i));
        edit->setGeometry(text.left() + offset + 2, text.top() + 2, fieldWidth - 1,
                          text.height() - 4);
        edits.push_back(Keep(page, std::move(edit)));
        made.push_back(edits.back());
    }
    // The spin's first field is the least significant: the rightmost item.
    for (int number = 0; number < n; ++number) {
        const int index = n - 1 - number;
        ParamSpinEdit* edit = edits[static_cast<std::size_t>(index)];
        const ParamItem& item = edit->Item();
        const bool partOfTime = timeStep[static_cast<std::size_t>(index)] ||
                                timeStep[static_cast<std::size_t>(index) + 1];
        const double value = edit->Scale().FromDevice(item.value);
        if (item.kind == ParamItem::PresetName) {
            spin->AddTextField(edit);
            spin->SetValue(value, number, false);
            presetFields.push_back({spin, number});
        } else if (!item.entries.empty()) {
            QStringList entries;
            for (const std::string& entry : item.entries) {
                entries.push_back(
                    QString::fromStdString(SpinFieldUnit::EntryText(entry, item.unit)));
            }
            spin->AddListField(static_cast<int>(value), edit, entries, "%s");
        } else {
            const SpinFieldScale& scale = edit->Scale();
            spin->AddNumericField(value, edit, SpinFieldUnit::NumberFormat(item, !partOfTime),
                                  scale.Minimum(), scale.Maximum(), scale.Step());
        }
        spin->AttachField(edit);
    }
    if (n == 1 && set.items.front().kind != ParamItem::PresetName) {
        spin->SetWrap(true);
    }
    for (ParamSpinEdit* edit : edits) {
        if (context_.registry != nullptr) {
            context_.registry->Add(*edit, edit->Item());
        }
    }
    for (QWidget* control : made) {
        HideIfHidden(set, *control);
    }
}
