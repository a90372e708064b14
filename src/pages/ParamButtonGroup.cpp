#include "pages/ParamButtonGroup.h"

#include "description/ControlRegistry.h"
#include "description/ParameterModel.h"
#include "description/ValueText.h"

ParamButtonGroup::ParamButtonGroup(const PageContext& context, const ParamItem& item)
    : CSkinButtonGroup(context.skin), context_(context), item_(item) {}

ParamButtonGroup::~ParamButtonGroup() {
    if (context_.registry != nullptr) {
        context_.registry->Remove(*this);
    }
}

QStringList ParamButtonGroup::Labels(const ParamItem& item) {
    QStringList labels;
    if (item.kind == ParamItem::Enumeration) {
        for (const std::string& entry : item.entries) {
            labels.push_back(QString::fromLatin1(ValueText::EntryText(entry, item.unit)));
        }
        return labels;
    }
    const std::int64_t lowest = item.kind == ParamItem::Numeric ? ValueText::LowestIndex(item) : 0;
    for (std::int64_t i = 0; i <= item.span; ++i) {
        labels.push_back(QString::number(lowest + i));
    }
    return labels;
}

void ParamButtonGroup::ShowDeviceValue(std::uint8_t value) {
    SetSelection(value);
}

void ParamButtonGroup::OnSelect(int index) {
    if (context_.model != nullptr && index >= 0 && index <= 255) {
        context_.model->WriteParameter(item_.address, static_cast<std::uint8_t>(index),
                                       item_.itemFlag != 0);
    }
}
