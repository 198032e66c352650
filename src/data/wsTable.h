#pragma once

#include "data/Table.h"

#include <functional>
#include <string>
#include <vector>

namespace ws {

class TField;

enum class TwsFilterOption { ofoEnabled, ofoShowHourGlass, ofoCancelOnEscape };
using TwsFilterOptions = TEnumSet<TwsFilterOption>;

using TwsInvalidValueEvent = std::function<void(TDataSet* DataSet, TField* Field)>;

// The table view the whole system reads through: a table with the control-type lines its grids
// look up, picture masks checked before each post, and lookup lists.
class TwsTable : public TTable {
public:
    WS_CLASS_INFO()

    explicit TwsTable(TComponent* owner);
    ~TwsTable() override;

    // "Field;Kind;Control;Flag" lines; a line naming no field of the view is dropped by the
    // first calculated-field computation.
    const std::vector<std::string>& ControlType() const { return m_ControlType; }
    void SetControlType(const std::vector<std::string>& lines) { m_ControlType = lines; }
    // "Field<TAB>Mask<TAB>T|F<TAB>T|F" lines.
    const std::vector<std::string>& PictureMasks() const { return m_PictureMasks; }
    void SetPictureMasks(const std::vector<std::string>& lines) { m_PictureMasks = lines; }
    const std::vector<std::string>& LookupFields() const { return m_LookupFields; }
    void SetLookupFields(const std::vector<std::string>& lines) { m_LookupFields = lines; }
    const std::vector<std::string>& LookupLinks() const { return m_LookupLinks; }
    void SetLookupLinks(const std::vector<std::string>& lines) { m_LookupLinks = lines; }
    const std::vector<std::string>& wsFilter() const { return m_wsFilter; }
    void SetwsFilter(const std::vector<std::string>& lines) { m_wsFilter = lines; }
    bool ValidateWithMask() const { return m_ValidateWithMask; }
    void SetValidateWithMask(bool value) { m_ValidateWithMask = value; }
    bool SyncSQLByRange() const { return m_SyncSQLByRange; }
    void SetSyncSQLByRange(bool value) { m_SyncSQLByRange = value; }
    bool NarrowSearch() const { return m_NarrowSearch; }
    void SetNarrowSearch(bool value) { m_NarrowSearch = value; }
    TwsFilterOptions OnFilterOptions() const { return m_OnFilterOptions; }
    void SetOnFilterOptions(TwsFilterOptions options) { m_OnFilterOptions = options; }
    bool IsSequenced() const override;

    TFilterRecordEvent OnFilter;
    TwsInvalidValueEvent OnInvalidValue;

protected:
    void DoOnCalcFields() override;
    void DoBeforePost() override;
    void InstallExtraFilters() override;

private:
    void PruneFieldLines();
    void CheckPictureMasks();
    void LoadTablePictures();
    bool IsDesktopTable() const;
    std::string MaskFor(const TField& field) const;

    std::vector<std::string> m_ControlType;
    std::vector<std::string> m_PictureMasks;
    std::vector<std::string> m_LookupFields;
    std::vector<std::string> m_LookupLinks;
    std::vector<std::string> m_wsFilter;
    bool m_ValidateWithMask = true;
    bool m_SyncSQLByRange = false;
    bool m_NarrowSearch = false;
    TwsFilterOptions m_OnFilterOptions{TwsFilterOption::ofoEnabled, TwsFilterOption::ofoShowHourGlass};
    // "FieldName<TAB>Picture" per validity check of the table, read once.
    std::vector<std::string> m_TablePictures;
    bool m_TablePicturesLoaded = false;
};

} // namespace ws
