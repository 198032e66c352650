#include "JobsDbCommands.h"
#include "base/DateTime.h"
#include "base/Strings.h"
#include "data/Field.h"
#include "data/Session.h"
#include "data/wsTable.h"

#include <chrono>
#include <ctime>
#include <string>

namespace ws::jobsdb {

namespace {

// A fixed sequence, so that the same day gives the same database.
class TDemoRandom {
public:
    int Next(int bound) {
        m_State = m_State * 1103515245u + 12345u;
        return static_cast<int>((m_State >> 16) % static_cast<unsigned>(bound));
    }
    template <std::size_t N>
    const char* Pick(const char* const (&items)[N]) {
        return items[Next(static_cast<int>(N))];
    }

private:
    unsigned m_State = 20240601u;
};

const char* const kSurnames[] = {"Abrahams", "Baker",  "Cohen",  "Davies",  "Evans",  "Fischer", "Green",
                                 "Harris",   "Isaacs", "Jacobs", "Kaplan",  "Levy",   "Morris",  "Nathan",
                                 "Owen",     "Price",  "Quinn",  "Roberts", "Samuel", "Taylor",  "Walker"};
const char* const kInitials[] = {"A.", "B.", "D.", "E.", "H.", "J.", "M.", "R.", "S."};
const char* const kCemeteries[] = {"Bushey",    "Edmonton", "Golders Green",
                                   "Willesden", "Rainham",  "Enfield Lawn"};
const char* const kAbbreviations[] = {"BUSH", "EDMT", "GOLD", "WILL", "RAIN", "ENFL"};
const char* const kStones[] = {"Black granite headstone", "Grey granite tablet", "White marble",
                               "Rustic pink granite", "Indian black kerb set"};
const char* const kPositions[] = {"Left of path", "Row 3 end", "Near east wall", "Second from gate", ""};
const char* const kStorage[] = {"Yard bay 1", "Yard bay 2", "Workshop", "Cemetery lodge",
                                "Stone store rack B"};

TDateTime Today(const std::string& today) {
    if (!today.empty())
        return ParseIso(today);
    const std::time_t now = std::time(nullptr);
    std::tm local{};
    localtime_r(&now, &local);
    return EncodeDate(local.tm_year + 1900, local.tm_mon + 1, local.tm_mday);
}

TComponentPtr<TwsTable> OpenForWriting(const char* table) {
    TComponentPtr<TwsTable> view(new TwsTable(nullptr));
    view->SetDatabaseName(kAlias);
    view->SetTableName(table);
    view->Open();
    return view;
}

enum class TJobKind { Jewish, SpecialDate, Interment };

struct TDemoJob {
    std::string orderNo;
    TJobKind kind;
    TDateTime due;
};

void AddOrder(TwsTable& orders, TDemoRandom& random, const TDemoJob& job, int number) {
    const int place = random.Next(static_cast<int>(std::size(kCemeteries)));
    orders.Insert();
    orders.FieldNamed("OrderNo")->SetAsString(job.orderNo);
    orders.FieldNamed("ClientID")->SetAsString(Format("C%05d", 300 + number));
    orders.FieldNamed("Name")->SetAsString(std::string(random.Pick(kInitials)) + " " +
                                           random.Pick(kSurnames));
    orders.FieldNamed("Address")->SetAsString(Format("%d High Street\nLondon", 1 + random.Next(200)));
    orders.FieldNamed("OrderDate")->SetAsDateTime(job.due - 30 - random.Next(60));
    // A few jobs never got a due date; they count as long overdue.
    if (random.Next(25) != 0)
        orders.FieldNamed("DueDate")->SetAsDateTime(job.due);
    orders.FieldNamed("DateOffSet")->SetAsFloat(job.kind == TJobKind::SpecialDate ? 3 : random.Next(3));
    const double total = 400 + 25 * random.Next(80);
    orders.FieldNamed("TotalExcVat")->SetAsFloat(total);
    orders.FieldNamed("VAT")->SetAsFloat(total * 0.2);
    orders.FieldNamed("TotalincVat")->SetAsFloat(total * 1.2);
    orders.FieldNamed("Balance")->SetAsFloat(random.Next(3) == 0 ? 0.0 : total * 0.6);
    orders.FieldNamed("Location")->SetAsString(kCemeteries[place]);
    orders.FieldNamed("LocationABV")->SetAsString(kAbbreviations[place]);
    if (random.Next(5) != 0)
        orders.FieldNamed("Section")->SetAsString(Format("%c", 'A' + random.Next(12)));
    if (random.Next(6) != 0)
        orders.FieldNamed("GraveNo")->SetAsString(Format("%d", 1 + random.Next(900)));
    orders.FieldNamed("JobNo")->SetAsString(Format("%d", 5000 + number));
    orders.FieldNamed("Stone")->SetAsString(random.Pick(kStones));
    orders.FieldNamed("Invoiced")->SetAsBoolean(random.Next(4) == 0);
    orders.FieldNamed("TcReceived")->SetAsBoolean(random.Next(2) == 0);
    orders.FieldNamed("Incy")->SetAsBoolean(random.Next(3) == 0);
    orders.FieldNamed("IsJewish")->SetAsBoolean(job.kind == TJobKind::Jewish);
    orders.FieldNamed("IsInterment")->SetAsBoolean(job.kind == TJobKind::Interment);
    orders.FieldNamed("IsActive")->SetAsBoolean(random.Next(6) != 0);
    orders.FieldNamed("Active")->SetAsBoolean(true);
    orders.Post();
}

void AddJewishDetails(TwsTable& jewish, TDemoRandom& random, const TDemoJob& job, int number) {
    jewish.Insert();
    jewish.FieldNamed("OrderNo")->SetAsString(job.orderNo);
    jewish.FieldNamed("Rabbi")->SetAsString(std::string("Rabbi ") + random.Pick(kSurnames));
    jewish.FieldNamed("Stone")->SetAsString(random.Pick(kStones));
    jewish.FieldNamed("Position")->SetAsString(random.Pick(kPositions));
    jewish.FieldNamed("Priority")->SetAsInteger(1 + random.Next(3));
    jewish.FieldNamed("JobNo")->SetAsString(Format("%d", 5000 + number));
    jewish.FieldNamed("DueDate")->SetAsDateTime(job.due);
    jewish.FieldNamed("RecID")->SetAsInteger(number);
    jewish.FieldNamed("Location")->SetAsString(random.Pick(kCemeteries));
    jewish.FieldNamed("Name")->SetAsString(random.Pick(kSurnames));
    jewish.Post();
}

void AddRemovalDetails(TwsTable& rnr, TDemoRandom& random, const TDemoJob& job, int number) {
    rnr.Insert();
    rnr.FieldNamed("OrderNo")->SetAsString(job.orderNo);
    rnr.FieldNamed("RemoveBefore")->SetAsDateTime(job.due - 7);
    if (random.Next(2) == 0)
        rnr.FieldNamed("RemovedOn")->SetAsDateTime(job.due - 10);
    rnr.FieldNamed("CurrentLocation")->SetAsString(random.Pick(kStorage));
    rnr.FieldNamed("JobRef")->SetAsString(Format("R%d", 700 + number));
    rnr.FieldNamed("Name")->SetAsString(std::string(random.Pick(kInitials)) + " " + random.Pick(kSurnames));
    rnr.FieldNamed("BurialDate")->SetAsDateTime(job.due - 3 - random.Next(10));
    rnr.Post();
}

void AddBands(TwsTable& options) {
    const char* const colors[] = {"clRed", "clMaroon", "clPurple", "clBlue", "clGreen"};
    for (int band = 1; band <= 5; ++band) {
        options.Insert();
        options.FieldNamed("OptionName")->SetAsString(Format("Band %d", band));
        options.FieldNamed("OptionValue")->SetAsString(colors[band - 1]);
        options.Post();
    }
    options.Insert();
    options.FieldNamed("OptionName")->SetAsString("VAT Rate");
    options.FieldNamed("OptionValue")->SetAsString("20");
    options.Post();
}

} // namespace

void CreateDemoDatabase(const std::string& today) {
    const TDateTime day = Today(today);
    InitDatabase();
    auto orders = OpenForWriting("OrderHead.DB");
    auto options = OpenForWriting("Options.DB");
    auto jewish = OpenForWriting("Jewish.DB");
    auto rnr = OpenForWriting("RNR.DB");
    AddBands(*options);
    TDemoRandom random;
    const struct {
        TJobKind kind;
        const char* prefix;
    } kinds[] = {{TJobKind::Jewish, "J"}, {TJobKind::SpecialDate, "S"}, {TJobKind::Interment, "I"}};
    int number = 0;
    for (const auto& kind : kinds) {
        for (int i = 0; i < 30; ++i) {
            ++number;
            const TDemoJob job{Format("%s%04d", kind.prefix, 1000 + i), kind.kind,
                               day - 40 + random.Next(100)};
            AddOrder(*orders, random, job, number);
            // Most jobs have their detail row; the rest show empty look-up columns.
            if (kind.kind == TJobKind::Jewish && random.Next(8) != 0)
                AddJewishDetails(*jewish, random, job, number);
            if (kind.kind == TJobKind::Interment && random.Next(8) != 0)
                AddRemovalDetails(*rnr, random, job, number);
        }
    }
}

} // namespace ws::jobsdb
