#pragma once

// The whole wall screen on a headless window system over a job database of its own, which jobsdb
// fills and changes as the office program would. The virtual clock starts on a Monday at 10:00.

#include "app/ColorBands.h"
#include "app/Program.h"
#include "app/frmJobs.h"
#include "jobs/JobsDMTestSupport.h"
#include "platform/HeadlessWindowSystem.h"
#include "support/ScopedEnvironment.h"
#include "ui/Application.h"
#include "ui/Label.h"

#include <memory>
#include <optional>
#include <string>
#include <vector>

namespace ws::test {

class BoardFixture : public JobsDbTest {
protected:
    static constexpr const char* kToday = "2026-03-02";

    void SetUp() override {
        JobsDbTest::SetUp();
        Jobsdb({"init"});
        // Lock files of named mutexes live below XDG_RUNTIME_DIR.
        m_Runtime.emplace("XDG_RUNTIME_DIR", m_Dir);
        MakeProgram();
    }

    void TearDown() override {
        app.reset();
        system.reset();
        m_Runtime.reset();
        JobsDbTest::TearDown();
    }

    // A fresh process as far as the program can tell: a new window system and application, with
    // the virtual clock at 'start' (today at 10:00 by default).
    void MakeProgram(std::optional<TDateTime> start = std::nullopt) {
        app.reset();
        system.reset();
        platform::HeadlessOptions options;
        options.registryDirectory = m_Dir + "/windows";
        options.start = start ? *start : At("10:00:00.000");
        system = std::make_unique<platform::HeadlessWindowSystem>(options);
        system->SetMessageBoxResponder([this](const platform::MessageBoxRequest& r) {
            boxes.push_back(r);
            if (onBox)
                onBox(r);
        });
        app = std::make_unique<TApplication>(*system);
    }

    // Start-up and the first showing, with whatever that paints.
    TActiveJobsForm& Start() {
        StartWallScreen();
        app->ShowMainFormAtStart();
        system->ProcessMessages();
        return *ActiveJobsForm;
    }

    // A moment of today, "HH:MM:SS.mmm"; with 'days' later days.
    static TDateTime At(const std::string& time, int days = 0) {
        return ParseIso(std::string(kToday) + " " + time) + days;
    }
    // Today plus 'days' as jobsdb takes a date.
    static std::string Day(int days) { return FormatIso(ParseIso(kToday) + days).substr(0, 10); }

    void PutBands(const std::vector<std::string>& texts) {
        for (std::size_t k = 0; k < texts.size(); ++k)
            Put("Options.DB", {{"OptionName", "Band " + std::to_string(k + 1)}, {"OptionValue", texts[k]}});
    }
    void PutJewish(const std::string& no, const std::string& due) {
        PutJob(no, due, {{"IsActive", "True"}, {"IsJewish", "True"}});
    }
    void PutSpecialDate(const std::string& no, const std::string& due) {
        PutJob(no, due, {{"IsActive", "True"}, {"DateOffSet", "3"}});
    }
    void PutInterment(const std::string& no, const std::string& due) {
        PutJob(no, due, {{"IsActive", "True"}, {"IsInterment", "True"}, {"Invoiced", "False"}});
    }

    // Active Jewish memorials J1, J2, ... due today plus 1, 2, ... days, each with its Jewish.DB row.
    void PutJewishMemorials(int count) {
        for (int i = 1; i <= count; ++i) {
            const std::string no = "J" + std::to_string(i);
            PutJewish(no, Day(i));
            Put("Jewish.DB", {{"OrderNo", no}, {"Stone", "Stone " + no}, {"Position", "Left"}});
        }
    }
    // A small office with a row in every table: five bands, two Jewish memorials, a special date S1
    // and an interment R1 with its RNR.DB row.
    void PutSmallOffice() {
        PutBands({"clRed", "clLime", "clBlue", "clFuchsia", "clYellow"});
        PutJewishMemorials(2);
        PutSpecialDate("S1", Day(1));
        PutInterment("R1", Day(2));
        Put("RNR.DB", {{"OrderNo", "R1"}, {"Name", "Levi"}, {"CurrentLocation", "Bay 1"}});
    }

    // One field of the rows a view holds for its grid, top to bottom.
    static std::vector<std::string> Shown(TwsTable& view, const char* field) {
        std::vector<std::string> values;
        const int active = view.ActiveRecord();
        for (int i = 0; i < view.WindowRowCount(); ++i) {
            view.SetActiveRecord(i);
            values.push_back(view.FieldNamed(field)->AsString());
        }
        view.SetActiveRecord(active);
        return values;
    }

    std::string Header() const { return ActiveJobsForm->HeaderLbl()->Caption(); }

    std::unique_ptr<platform::HeadlessWindowSystem> system;
    std::unique_ptr<TApplication> app;
    std::vector<platform::MessageBoxRequest> boxes;
    std::function<void(const platform::MessageBoxRequest&)> onBox;

private:
    std::optional<ScopedEnvironment> m_Runtime;
};

} // namespace ws::test
