#pragma once

// A demo job database with the data module open over it, a headless window system, and a form of
// the test's own holding a grid laid out like the top list of the wall screen. Text metrics are
// fixed: "0" is 11 pixels wide, the data font 23 pixels high and the (bold) title font 24.

#include "grid/wsCheckBox.h"
#include "grid/wsDBGrid.h"
#include "jobs/JobsDMTestSupport.h"
#include "platform/HeadlessWindowSystem.h"
#include "support/Lines.h"
#include "support/ScopedEnvironment.h"
#include "ui/Application.h"
#include "ui/Form.h"

#include <algorithm>
#include <memory>
#include <optional>

namespace ws::test {

class GridFixture : public JobsDbTest {
protected:
    static constexpr int CharWidth = 11;
    static constexpr int DataTextHeight = 23;
    static constexpr int TitleTextHeight = 24;

    void SetUp() override {
        JobsDbTest::SetUp();
        m_Runtime.emplace("XDG_RUNTIME_DIR", m_Dir);
        platform::HeadlessOptions options;
        options.registryDirectory = m_Dir + "/windows";
        system = std::make_unique<platform::HeadlessWindowSystem>(options);
        app = std::make_unique<TApplication>(*system);
        Jobsdb({"demo"});
        if (OpenDataModule())
            CreateJobsDM(nullptr);
    }

    // The real program creates the data module itself.
    virtual bool OpenDataModule() const { return true; }

    void TearDown() override {
        TComponent::Free(form);
        form = nullptr;
        app.reset();
        system.reset();
        m_Runtime.reset();
        JobsDbTest::TearDown();
    }

    static platform::Size FixedMetrics(const TFont& font, std::string_view text) {
        const bool title = font.Style().Contains(TFontStyle::fsBold);
        return {static_cast<int>(text.size()) * CharWidth, title ? TitleTextHeight : DataTextHeight};
    }

    static std::vector<std::string> JobsGridLines() {
        return Lines({"Name|26|Name|F", "Invoiced|3|Inv|F", "DueDate|11|Due Date|F",
                      "LocationABV|8|Location|F", "Memorial|30|Memorial|F", "Section|15|Section|F",
                      "GraveNo|12|Grave|F"});
    }

    // Opens the data module and a shown form; the grid is configured like the top list, placed at
    // (0, top) with the given height and the top list's width, and bound to `source` last.
    TwsDBGrid& MakeGrid(TDataSource* source, int height,
                        std::vector<std::string> selected = JobsGridLines()) {
        if (form == nullptr) {
            form = new TForm(nullptr);
            form->SetBounds(0, 0, 1094, 1895);
            form->HandleNeeded();
            form->Show();
        }
        auto* grid = new TwsDBGrid(form);
        grid->SetTextMeasure(&FixedMetrics);
        grid->SetOptions({TwsDBGridOption::dgTitles, TwsDBGridOption::dgColLines, TwsDBGridOption::dgRowLines,
                          TwsDBGridOption::dgWordWrap, TwsDBGridOption::dgPerfectRowFit,
                          TwsDBGridOption::dgProportionalColResize});
        grid->SetUseTFields(false);
        grid->SetReadOnly(true);
        grid->SetShowHorzScrollBar(false);
        grid->SetShowVertScrollBar(false);
        grid->TitleFont().SetStyle({TFontStyle::fsBold});
        grid->SetSelected(selected);
        grid->SetBounds(0, 32, 1093, height);
        grid->SetParent(form);
        grid->SetDataSource(source);
        return *grid;
    }

    static std::vector<int> Widths(const TwsCustomDBGrid& grid) {
        std::vector<int> widths;
        for (int c = 0; c < grid.ColCount(); ++c)
            widths.push_back(grid.ColWidths(c));
        return widths;
    }

    static std::vector<int> SelectedWidths(const TwsCustomDBGrid& grid) {
        std::vector<int> widths;
        for (const std::string& line : grid.Selected())
            widths.push_back(std::stoi(line.substr(line.find('\t') + 1)));
        return widths;
    }

    std::unique_ptr<platform::HeadlessWindowSystem> system;
    std::unique_ptr<TApplication> app;
    TForm* form = nullptr;

private:
    std::optional<ScopedEnvironment> m_Runtime;
};

} // namespace ws::test
