#pragma once

#include <memory>
#include <string>
#include <vector>

#include <QSize>

#include "description/ParamSet.h"
#include "pages/PageContext.h"
#include "pages/PresetNameField.h"

class ParameterPage;
class QWidget;

// Turns the sets of one page-tree node into a page of skinned controls: the caption line
// ("Group > Page" with a separator at each ">"), then per set, by the style of its first
// item, a slider, a button group or a multi-field spin placed by the set's box (units of
// 10 pixels). Every control keeps its own copy of its item(s) and is registered.
class PageBuilder {
public:
    explicit PageBuilder(const PageContext& context);

    // The new page, hidden, at (0, 0) of parent and as large as area; nothing when sets is
    // null or empty. Preset-name fields are appended to presetFields.
    [[nodiscard]] std::unique_ptr<ParameterPage>
    BuildPage(QWidget* parent, QSize area, const std::vector<std::unique_ptr<ParamSet>>* sets,
              const std::string& caption, PresetNameFields& presetFields) const;

private:
    void BuildCaption(ParameterPage& page, const std::string& caption) const;
    void BuildSlider(ParameterPage& page, const ParamSet& set) const;
    void BuildButtonGroup(ParameterPage& page, const ParamSet& set) const;
    void BuildSpin(ParameterPage& page, const ParamSet& set, PresetNameFields& presetFields) const;

    PageContext context_;
};
