#include "jobs/JobsDM.h"

#include "data/DBError.h"
#include "data/DataClasses.h"
#include "data/DataSource.h"
#include "data/Database.h"
#include "data/Field.h"
#include "data/wsTable.h"
#include "descriptions/JobsDMDescription.h"
#include "ui/ComponentCreate.h"
#include "ui/PropertiesBuilder.h"

namespace ws {

TJobsDM* JobsDM = nullptr;

namespace {

bool IsEditing(TDataSetState state) {
    return state == dsEdit || state == dsInsert || state == dsSetKey;
}

template <class T>
void Find(TComponentRef<T>& ref, const TComponent& owner, const char* name) {
    ref.Set(dynamic_cast<T*>(owner.FindComponent(name)));
}

} // namespace

const TClassInfo& TJobsDM::StaticClassInfo() {
    static const TClassInfo info = TClassBuilder<TJobsDM>("TJobsDM", TDataModule::StaticClassInfo()).Build();
    return info;
}

TJobsDM::TJobsDM(TComponent* owner) : TDataModule(owner) {
    PublishMethod<TDataSetNotifyEvent>("JobsTableCalcFields",
                                       [this](TDataSet* dataSet) { JobsTableCalcFields(dataSet); });
    PublishMethod<TDataSetNotifyEvent>("Jobs2TableCalcFields",
                                       [this](TDataSet* dataSet) { Jobs2TableCalcFields(dataSet); });
}

TJobsDM::~TJobsDM() {
    if (JobsDM == this)
        JobsDM = nullptr;
}

std::string_view TJobsDM::StoredDescription() const {
    return descriptions::JobsDM();
}

// The module's own load notification comes before those of its components, so the handlers
// find the views already while the first of them opens.
void TJobsDM::Loaded() {
    TDataModule::Loaded();
    Find(m_JobsData, *this, "JobsData");
    Find(m_JobsTable, *this, "JobsTable");
    Find(m_JobsDS, *this, "JobsDS");
    Find(m_OptionsTable, *this, "OptionsTable");
    Find(m_OptionsDS, *this, "OptionsDS");
    Find(m_JewishTable, *this, "JewishTable");
    Find(m_JewishDS, *this, "JewishDS");
    Find(m_Jobs2Table, *this, "Jobs2Table");
    Find(m_Jobs2DS, *this, "Jobs2DS");
    Find(m_RnRTable, *this, "RnRTable");
    Find(m_RnRDS, *this, "RnRDS");
    Find(m_SpecialDateTable, *this, "SpecialDateTable");
    Find(m_SpecialDateDS, *this, "SpecialDateDS");
}

void TJobsDM::JobsTableCalcFields(TDataSet*) {
    TwsTable* jobs = JobsTable();
    TwsTable* jewish = JewishTable();
    if (!jobs || !jewish || !jobs->Active() || !jewish->Active())
        return;
    const std::string orderNo = jobs->FieldNamed("OrderNo")->AsString();
    if (!jewish->Locate("OrderNo", orderNo))
        return;
    // A row locked by another program leaves the view in Browse: the row on show is still the
    // located one, and only its rewrite is skipped this time. A row deleted since it was located
    // was not found after all.
    if (!IsEditing(jewish->State()) && !EditJewishRow(orderNo))
        return;
    TField* memorial = jobs->FieldNamed("Memorial");
    try {
        memorial->SetAsString(jewish->FieldNamed("Stone")->AsString() + " " +
                              jewish->FieldNamed("Position")->AsString());
    } catch (...) {
        if (IsEditing(jewish->State()))
            CancelJewishEdit();
        throw;
    }
    if (IsEditing(jewish->State()))
        PostJewishRow(*memorial);
}

bool TJobsDM::EditJewishRow(const std::string& orderNo) {
    // A Jewish.DB that could only be opened for reading is shown all the same; that its rows are
    // not rewritten is said once.
    if (!JewishTable()->CanModify()) {
        if (!m_ReadOnlyReported) {
            m_ReadOnlyReported = true;
            const EDatabaseError error(JewishTable()->Name() + ": " + messages::DataSetReadOnly);
            if (OnLockError)
                OnLockError(error);
            else
                m_UnreportedLockErrors.emplace_back(error.what());
        }
        return true;
    }
    try {
        JewishTable()->Edit();
    } catch (const EDBEngineError& e) {
        if (e.ErrorCode() == engine::esRecordDeleted) {
            m_LockedRows.erase(orderNo);
            return false;
        }
        if (e.ErrorCode() != engine::esRecordLocked)
            throw;
        ReportLockedRow(orderNo, e);
        return true;
    }
    m_LockedRows.erase(orderNo);
    return true;
}

void TJobsDM::PostJewishRow(TField& memorial) {
    TwsTable* jewish = JewishTable();
    try {
        jewish->Post();
    } catch (const EDBEngineError& e) {
        // A failed write leaves the view in Edit; it goes back to Browse at once, so that the
        // row is not left locked and the next computation starts afresh. A row deleted by a
        // program that ignores our locks is not found after all; every other failure is
        // reported.
        CancelJewishEdit();
        if (e.ErrorCode() != engine::esRecordDeleted)
            throw;
        memorial.Clear();
    } catch (...) {
        CancelJewishEdit();
        throw;
    }
}

void TJobsDM::ReopenJewishWhenWritable() {
    TwsTable* jewish = JewishTable();
    if (!jewish || jewish->ReadOnly() || (jewish->Active() && jewish->CanModify()))
        return;
    if (jewish->Active() && !jewish->CouldOpenWritable())
        return;
    jewish->Close();
    jewish->Open();
    // Should it go back to reading only, that is said again.
    if (jewish->CanModify())
        m_ReadOnlyReported = false;
}

void TJobsDM::CancelJewishEdit() {
    // The failure of the write is the one to report; should the cancel fail too, the view is
    // still in Edit and the next operation on it cancels again.
    try {
        JewishTable()->Cancel();
    } catch (...) {
    }
}

void TJobsDM::ReportLockedRow(const std::string& orderNo, const EDBEngineError& error) {
    // The same lock is met again on every re-read while it lasts; one report is enough.
    if (!m_LockedRows.insert(orderNo).second)
        return;
    if (OnLockError)
        OnLockError(error);
    else
        m_UnreportedLockErrors.emplace_back(error.what());
}

void TJobsDM::Jobs2TableCalcFields(TDataSet*) {
    TwsTable* jobs = Jobs2Table();
    TwsTable* rnr = RnRTable();
    if (!jobs || !rnr || !jobs->Active() || !rnr->Active())
        return;
    if (!rnr->Locate("OrderNo", jobs->FieldNamed("OrderNo")->AsString()))
        return;
    const std::string currentLocation = rnr->FieldNamed("CurrentLocation")->AsString();
    jobs->FieldNamed("Site")->SetAsString(currentLocation);
    jobs->FieldNamed("NameOnStone")->SetAsString(rnr->FieldNamed("Name")->AsString());
    jobs->FieldNamed("Burial")->SetAsString(rnr->FieldNamed("BurialDate")->AsString());
    // The location is taken as it is, so an empty one still gets " S:" before its section.
    std::string cemetery = jobs->FieldNamed("Location")->AsString();
    const std::string section = jobs->FieldNamed("Section")->AsString();
    if (!section.empty())
        cemetery += " S:" + section;
    const std::string graveNo = jobs->FieldNamed("GraveNo")->AsString();
    if (!graveNo.empty())
        cemetery += " G:" + graveNo;
    jobs->FieldNamed("Cem")->SetAsString(cemetery);
    jobs->FieldNamed("CurentLocation")->SetAsString(currentLocation);
}

TJobsDM* CreateJobsDM(TComponent* owner) {
    RegisterDataClasses();
    return CreateRoot(JobsDM, owner);
}

} // namespace ws
