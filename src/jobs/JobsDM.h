#pragma once

#include "data/DataModule.h"
#include "data/DataSource.h"
#include "data/Database.h"
#include "data/wsTable.h"
#include "ui/ComponentRef.h"

#include <exception>
#include <functional>
#include <set>
#include <string>
#include <string_view>
#include <utility>
#include <vector>

namespace ws {

class EDBEngineError;

// Everything the wall screen reads: the connection JobsData and six table views with their data
// sources, built from the stored description JobsDM.desc. Loading it connects the database and
// opens the views in stored order. The two handlers fill the derived fields of the top and the
// bottom list by looking up the job's row in Jewish.DB and RNR.DB.
class TJobsDM : public TDataModule {
public:
    WS_CLASS_INFO()

    // What the application does with a Jewish.DB row that another program holds locked.
    using TLockErrorReport = std::function<void(const std::exception& E)>;

    explicit TJobsDM(TComponent* owner);
    ~TJobsDM() override;

    std::string_view StoredDescription() const override;
    void Loaded() override;

    TDatabase* JobsData() const { return m_JobsData.Get(); }
    TwsTable* JobsTable() const { return m_JobsTable.Get(); }
    TwsDataSource* JobsDS() const { return m_JobsDS.Get(); }
    TwsTable* OptionsTable() const { return m_OptionsTable.Get(); }
    TwsDataSource* OptionsDS() const { return m_OptionsDS.Get(); }
    TwsTable* JewishTable() const { return m_JewishTable.Get(); }
    TwsDataSource* JewishDS() const { return m_JewishDS.Get(); }
    TwsTable* Jobs2Table() const { return m_Jobs2Table.Get(); }
    TwsDataSource* Jobs2DS() const { return m_Jobs2DS.Get(); }
    TwsTable* RnRTable() const { return m_RnRTable.Get(); }
    TwsDataSource* RnRDS() const { return m_RnRDS.Get(); }
    TwsTable* SpecialDateTable() const { return m_SpecialDateTable.Get(); }
    TwsDataSource* SpecialDateDS() const { return m_SpecialDateDS.Get(); }

    // Memorial of a JobsTable row: Stone and Position of its Jewish.DB row, which is rewritten
    // unchanged on the way (taking and releasing its lock).
    void JobsTableCalcFields(TDataSet* DataSet);
    // Site, NameOnStone, Burial, Cem and CurentLocation of a Jobs2Table row, from its RNR.DB row
    // and its own grave location.
    void Jobs2TableCalcFields(TDataSet* DataSet);

    // A Jewish.DB row locked by another program is shown all the same and not rewritten; its
    // error goes here once per lock. So does, once, a Jewish.DB that could only be opened for
    // reading. The application queues an error report; without a handler
    // the message is kept in UnreportedLockErrors().
    TLockErrorReport OnLockError;
    const std::vector<std::string>& UnreportedLockErrors() const { return m_UnreportedLockErrors; }
    // Hands over the kept messages (those met while the views opened, before the application
    // set its handler) and forgets them.
    std::vector<std::string> TakeUnreportedLockErrors() { return std::exchange(m_UnreportedLockErrors, {}); }

    // A Jewish.DB that could only be opened for reading (the file or its directory could not be
    // written, or opening it failed at a tick before) is opened again for writing once it can be,
    // so that its rows are rewritten again without a restart. Called at each tick; raises when
    // the re-opening fails.
    void ReopenJewishWhenWritable();

private:
    // Starts the edit of the located Jewish.DB row; a lock held by another program is reported
    // and leaves the view in Browse, any other failure propagates. False when the row was
    // deleted in the meantime.
    bool EditJewishRow(const std::string& orderNo);
    // Writes the row back; a failure leaves the view in Browse, the row unlocked.
    void PostJewishRow(TField& memorial);
    void CancelJewishEdit();
    void ReportLockedRow(const std::string& orderNo, const EDBEngineError& error);

    TComponentRef<TDatabase> m_JobsData{this};
    TComponentRef<TwsTable> m_JobsTable{this};
    TComponentRef<TwsDataSource> m_JobsDS{this};
    TComponentRef<TwsTable> m_OptionsTable{this};
    TComponentRef<TwsDataSource> m_OptionsDS{this};
    TComponentRef<TwsTable> m_JewishTable{this};
    TComponentRef<TwsDataSource> m_JewishDS{this};
    TComponentRef<TwsTable> m_Jobs2Table{this};
    TComponentRef<TwsDataSource> m_Jobs2DS{this};
    TComponentRef<TwsTable> m_RnRTable{this};
    TComponentRef<TwsDataSource> m_RnRDS{this};
    TComponentRef<TwsTable> m_SpecialDateTable{this};
    TComponentRef<TwsDataSource> m_SpecialDateDS{this};

    // Order numbers whose Jewish.DB row was found locked and not yet edited since.
    std::set<std::string> m_LockedRows;
    std::vector<std::string> m_UnreportedLockErrors;
    // Whether a Jewish.DB open for reading only has been reported.
    bool m_ReadOnlyReported = false;
};

// The program's data module; set while it exists (from before its description is loaded).
extern TJobsDM* JobsDM;

// Creates JobsDM, owned by `owner`: connects the database and opens the six views. A failure
// (an alias that cannot be resolved, a missing table, a declared field the table does not have
// or has with another type) propagates and leaves JobsDM null.
TJobsDM* CreateJobsDM(TComponent* owner);

} // namespace ws
