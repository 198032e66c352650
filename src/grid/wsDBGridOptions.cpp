#include "grid/wsDBGridOptions.h"

namespace ws {

const std::vector<std::string>& DBGridOptionIdents() {
    static const std::vector<std::string> idents{"dgEditing",
                                                 "dgAlwaysShowEditor",
                                                 "dgTitles",
                                                 "dgIndicator",
                                                 "dgColumnResize",
                                                 "dgColLines",
                                                 "dgRowLines",
                                                 "dgTabs",
                                                 "dgRowSelect",
                                                 "dgAlwaysShowSelection",
                                                 "dgConfirmDelete",
                                                 "dgCancelOnExit",
                                                 "dgWordWrap",
                                                 "dgPerfectRowFit",
                                                 "dgMultiSelect",
                                                 "dgShowFooter",
                                                 "dgFooter3DCells",
                                                 "dgNoLimitColSize",
                                                 "dgTrailingEllipsis",
                                                 "dgShowCellHint",
                                                 "dgTabExitsOnLastCol",
                                                 "dgFixedResizable",
                                                 "dgFixedEditable",
                                                 "dgProportionalColResize",
                                                 "dgRowResize",
                                                 "dgRowLinesDisableFixed",
                                                 "dgColLinesDisableFixed",
                                                 "dgFixedProportionalResize",
                                                 "dgHideBottomDataLine",
                                                 "dgDblClickColSizing"};
    return idents;
}

const std::vector<std::string>& DBGridKeyOptionIdents() {
    static const std::vector<std::string> idents{"dgEnterToTab", "dgAllowDelete", "dgAllowInsert"};
    return idents;
}

const std::vector<std::string>& EditControlOptionIdents() {
    static const std::vector<std::string> idents{"ecoCheckboxSingleClick", "ecoSearchOwnerForm",
                                                 "ecoDisableCustomControls", "ecoDisableDateTimePicker",
                                                 "ecoDisableEditorIfReadOnly"};
    return idents;
}

} // namespace ws
