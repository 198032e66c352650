#pragma once

// The switches of the data grid. The order of each enumeration is its bit order in the stored set.

#include "base/EnumSet.h"

#include <string>
#include <vector>

namespace ws {

enum class TwsDBGridOption {
    dgEditing,
    dgAlwaysShowEditor,
    dgTitles,
    dgIndicator,
    dgColumnResize,
    dgColLines,
    dgRowLines,
    dgTabs,
    dgRowSelect,
    dgAlwaysShowSelection,
    dgConfirmDelete,
    dgCancelOnExit,
    dgWordWrap,
    dgPerfectRowFit,
    dgMultiSelect,
    dgShowFooter,
    dgFooter3DCells,
    dgNoLimitColSize,
    dgTrailingEllipsis,
    dgShowCellHint,
    dgTabExitsOnLastCol,
    dgFixedResizable,
    dgFixedEditable,
    dgProportionalColResize,
    dgRowResize,
    dgRowLinesDisableFixed,
    dgColLinesDisableFixed,
    dgFixedProportionalResize,
    dgHideBottomDataLine,
    dgDblClickColSizing
};
using TwsDBGridOptions = TEnumSet<TwsDBGridOption>;
const std::vector<std::string>& DBGridOptionIdents();

enum class TwsDBGridKeyOption { dgEnterToTab, dgAllowDelete, dgAllowInsert };
using TwsDBGridKeyOptions = TEnumSet<TwsDBGridKeyOption>;
const std::vector<std::string>& DBGridKeyOptionIdents();

enum class TwsEditControlOption {
    ecoCheckboxSingleClick,
    ecoSearchOwnerForm,
    ecoDisableCustomControls,
    ecoDisableDateTimePicker,
    ecoDisableEditorIfReadOnly
};
using TwsEditControlOptions = TEnumSet<TwsEditControlOption>;
const std::vector<std::string>& EditControlOptionIdents();

enum class TGridDrawStateFlag { gdSelected, gdFocused, gdFixed };
using TGridDrawState = TEnumSet<TGridDrawStateFlag>;

} // namespace ws
