#pragma once

#include "data/Field.h"
#include "data/LockHolder.h"
#include "data/Session.h"
#include "data/wsTable.h"
#include "engine/FaultInjector.h"
#include "jobs/JobsDM.h"
#include "support/Jobsdb.h"
#include "support/TempDirectory.h"

#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <gtest/gtest.h>
#include <iterator>
#include <map>
#include <string>
#include <vector>

namespace ws::test {

// Each test gets its own job database behind the alias YardData, with an engine configuration
// file that defines nothing, so that only the alias the test sets up exists. jobsdb plays the
// office program that fills and changes the tables.
class JobsDbTest : public ::testing::Test {
protected:
    void SetUp() override {
        const std::string config = m_Dir + "/engine.ini";
        std::ofstream(config) << "";
        ::setenv("YARD_ENGINE_CONFIG", config.c_str(), 1);
        Session().AddAlias("YardData", "DESKTOP", {{"PATH", m_Dir}});
    }

    void TearDown() override {
        TComponent::Free(JobsDM);
        EXPECT_EQ(JobsDM, nullptr);
        engine::FaultInjector::Reset();
        // Also forgets the session aliases, so the next test starts without any.
        Session().Close();
    }

    // Runs jobsdb on the test database; returns what it printed.
    std::string Jobsdb(std::vector<std::string> args) {
        args.insert(args.begin(), {"--dir", m_Dir});
        const ProgramRun run = RunJobsdb(args);
        EXPECT_EQ(run.status, 0) << run.command << "\n" << run.output;
        return run.output;
    }

    // Inserts one row; values as jobsdb takes them (dates YYYY-MM-DD, booleans True/False).
    void Put(const std::string& table, const std::map<std::string, std::string>& values) {
        std::vector<std::string> args{"put", table};
        for (const auto& [field, value] : values)
            args.push_back(field + "=" + value);
        Jobsdb(args);
    }

    // An order with the flags the board filters look at.
    void PutJob(const std::string& orderNo, const std::string& due,
                std::map<std::string, std::string> more = {}) {
        more["OrderNo"] = orderNo;
        more["Name"] = "Name of " + orderNo;
        if (!due.empty())
            more["DueDate"] = due;
        Put("OrderHead.DB", more);
    }

    // One field of every row of the view, from its first row on; leaves the view on its last row.
    static std::vector<std::string> Column(TDataSet& view, const char* field) {
        std::vector<std::string> values;
        for (view.First(); !view.Eof(); view.Next())
            values.push_back(view.FieldNamed(field)->AsString());
        return values;
    }

    std::string FileBytes(const std::string& file) const {
        std::ifstream in(m_Dir + "/" + file, std::ios::binary);
        return std::string(std::istreambuf_iterator<char>(in), {});
    }
    // A table file with its write-ahead log: any write to the table shows in one of them.
    std::string TableBytes(const std::string& table) const {
        return FileBytes(table) + FileBytes(table + "-wal");
    }

private:
    TempDirectory m_Temp{"ws-jobsdm"};

protected:
    const std::string m_Dir = m_Temp.Path();
};

} // namespace ws::test
