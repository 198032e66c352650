// Thirty days of the wall screen as the workshop runs it: the timer starts it each morning at six,
// it refreshes every five seconds and closes itself each night, while the office enters, changes,
// invoices, finishes and removes jobs along the way. After each change the next tick shows every
// list's rows as the board model reads them from the table files; its memory must not grow while
// it only refreshes nor from day to day, and every table must keep exactly what the office left in it.

#include "app/BoardComparison.h"
#include "app/BoardFixture.h"
#include "app/BoardModel.h"
#include "ui/Timer.h"

#include <cstddef>
#include <cstdlib>
#include <malloc.h>
#include <map>
#include <string>
#include <vector>

#if defined(__SANITIZE_ADDRESS__)
#define WS_LIVE_HEAP_FROM_SANITIZER 1
#elif defined(__has_feature)
#if __has_feature(address_sanitizer)
#define WS_LIVE_HEAP_FROM_SANITIZER 1
#endif
#endif
#ifdef WS_LIVE_HEAP_FROM_SANITIZER
// From the sanitizer's run-time library (GCC installs no header for its allocator interface).
extern "C" std::size_t __sanitizer_get_current_allocated_bytes();
#endif

namespace ws::test {
namespace {

// WALLSCREEN_LONG_RUN_DAYS shortens the run while working on it.
int Days() {
    const char* days = std::getenv("WALLSCREEN_LONG_RUN_DAYS");
    return days != nullptr && std::atoi(days) > 0 ? std::atoi(days) : 30;
}

// Bytes the process has allocated and not freed yet.
std::size_t LiveHeapBytes() {
#ifdef WS_LIVE_HEAP_FROM_SANITIZER
    return __sanitizer_get_current_allocated_bytes();
#else
    return mallinfo2().uordblks;
#endif
}

// Room for the allocator's own bookkeeping and for texts of other lengths on the board. A leak
// of 16 bytes per refresh tick is more than this over the 3 588 ticks of a quiet evening, and a
// leak that outlives the program grows past it within a few days.
constexpr std::ptrdiff_t kHeapSlack = 48 * 1024;

std::ptrdiff_t Growth(std::size_t from, std::size_t to) {
    return static_cast<std::ptrdiff_t>(to) - static_cast<std::ptrdiff_t>(from);
}

class LongRun : public BoardFixture {
protected:
    static constexpr const char* kTables[] = {"OrderHead.DB", "Jewish.DB", "RNR.DB", "Options.DB"};

    // The office's jobs and the lists they belong on.
    struct Job {
        char list = 'J'; // J Jewish memorial, S special date, R interment
        bool active = true;
        bool invoiced = false;
    };

    static std::int64_t TickMs() { return ActiveJobsForm->Timer1()->Interval(); }

    // Moves the virtual clock on to 'time' of day 'day', with every tick on the way.
    void RunUntil(const std::string& time, int day) {
        const std::int64_t ms = DateTimeToMSecs(At(time, day)) - DateTimeToMSecs(system->Now());
        ASSERT_GE(ms, 0) << time << " of day " << day;
        system->AdvanceTime(ms);
        ASSERT_FALSE(system->Terminated()) << "closed before " << time << " of day " << day;
    }

    // jobsdb changes a table as the office program would; what it then holds is what the wall
    // screen must leave there.
    void Office(const std::string& table, const std::vector<std::string>& args) {
        std::vector<std::string> command = args;
        command.insert(command.begin() + 1, table);
        Jobsdb(command);
        m_Office[table] = Jobsdb({"dump", table});
    }

    std::string ExpectedHeader() const {
        int counts[3] = {};
        for (const auto& [no, job] : m_Jobs) {
            if (!job.active)
                continue;
            if (job.list == 'J')
                ++counts[0];
            else if (job.list == 'S')
                ++counts[1];
            else if (!job.invoiced)
                ++counts[2];
        }
        return "Active Jobs - Jewish(Top) : " + std::to_string(counts[0]) +
               " | Special date(Middle) : " + std::to_string(counts[1]) +
               " | Interment(Bottom) : " + std::to_string(counts[2]);
    }

    // The board shows what the tables hold: the header, and each list's place and painted rows.
    void ExpectBoardAsTheModelSays(const std::string& what) {
        const BoardDifferences differences =
            CompareBoard(*ActiveJobsForm, m_Model->Compute(DateTimeToMSecs(system->Now())));
        EXPECT_TRUE(differences.Empty()) << what << ", at " << FormatIso(system->Now()) << ":\n"
                                         << differences.Text();
    }

    // After a change the next tick shows it.
    void ExpectBoardWithinATick(const std::string& what) {
        system->AdvanceTime(TickMs());
        EXPECT_EQ(Header(), ExpectedHeader()) << what;
        m_Model->Tick();
        ExpectBoardAsTheModelSays(what);
    }

    // The office's day: a job of each kind comes in, yesterday's Jewish stone is changed, the
    // interment of two days ago is invoiced, older jobs are finished and removed.
    void OfficeDay(int day) {
        const std::string d = std::to_string(day);
        RunUntil("09:00:00.000", day);
        Office("OrderHead.DB", {"put", "OrderNo=J" + d, "Name=Memorial " + d, "IsActive=True",
                                "IsJewish=True", "Invoiced=False", "DueDate=" + Day(day + 6)});
        Office("Jewish.DB", {"put", "OrderNo=J" + d, "Stone=Grey granite " + d, "Position=Row " + d});
        m_Jobs["J" + d] = Job{'J'};
        ExpectBoardWithinATick("J" + d + " entered");

        RunUntil("11:00:00.000", day);
        Office("OrderHead.DB", {"put", "OrderNo=S" + d, "Name=Anniversary " + d, "IsActive=True",
                                "DateOffSet=3", "DueDate=" + Day(day + 2)});
        m_Jobs["S" + d] = Job{'S'};
        ExpectBoardWithinATick("S" + d + " entered");

        RunUntil("13:00:00.000", day);
        Office("OrderHead.DB",
               {"put", "OrderNo=R" + d, "Name=Interment " + d, "IsActive=True", "IsInterment=True",
                "Invoiced=False", "Location=Bushey", "Section=" + d, "DueDate=" + Day(day + 4)});
        Office("RNR.DB", {"put", "OrderNo=R" + d, "Name=Stone of " + d, "CurrentLocation=Yard bay " + d,
                          "BurialDate=" + Day(day - 20)});
        m_Jobs["R" + d] = Job{'R'};
        ExpectBoardWithinATick("R" + d + " entered");

        // The wall screen rewrites the Jewish rows of its listed jobs on every refresh; the
        // office's change to one of them must stand.
        if (day >= 1) {
            RunUntil("15:00:00.000", day);
            Office("Jewish.DB",
                   {"update", "OrderNo=J" + std::to_string(day - 1), "Stone=Black granite " + d});
            ExpectBoardWithinATick("J" + std::to_string(day - 1) + " stone changed");
        }
        if (day >= 2) {
            const std::string no = "R" + std::to_string(day - 2);
            RunUntil("16:30:00.000", day);
            Office("OrderHead.DB", {"update", "OrderNo=" + no, "Invoiced=True"});
            m_Jobs[no].invoiced = true;
            ExpectBoardWithinATick(no + " invoiced");

            RunUntil("17:00:00.000", day);
            for (const std::string& finished :
                 {"J" + std::to_string(day - 2), "S" + std::to_string(day - 1)}) {
                Office("OrderHead.DB", {"update", "OrderNo=" + finished, "IsActive=False"});
                m_Jobs[finished].active = false;
            }
            ExpectBoardWithinATick("finished jobs");
        }
        if (day >= 3) {
            const std::string old = std::to_string(day - 3);
            RunUntil("18:00:00.000", day);
            for (const std::string& no : {"J" + old, "S" + old, "R" + old}) {
                Office("OrderHead.DB", {"delete", "OrderNo=" + no});
                m_Jobs.erase(no);
            }
            Office("Jewish.DB", {"delete", "OrderNo=J" + old});
            Office("RNR.DB", {"delete", "OrderNo=R" + old});
            ExpectBoardWithinATick("old jobs removed");
        }
    }

    // Every table holds what the office last left in it.
    void ExpectTablesAsTheOfficeLeftThem(int day) {
        for (const char* table : kTables)
            EXPECT_EQ(Jobsdb({"dump", table}), m_Office[table]) << table << " after day " << day;
    }

    std::map<std::string, Job> m_Jobs;
    std::map<std::string, std::string> m_Office;
    std::unique_ptr<model::BoardModel> m_Model;
};

TEST_F(LongRun, ThirtyDaysOfTicksWithTheOfficeAtWork) {
    PutBands({"clRed", "clMaroon", "clPurple", "clBlue", "clGreen"});
    m_Model = std::make_unique<model::BoardModel>(m_Dir);
    for (const char* table : kTables)
        m_Office[table] = Jobsdb({"dump", table});

    const int days = Days();
    struct Heap {
        std::size_t morning = 0; // 08:00, two hours after the start
        // 19:00, the office's day done: every kind of read the day needs has been made once, so
        // the statements the engine keeps prepared for them are all there (a list that loses a
        // job first reads backwards in the afternoon, which prepares that statement then).
        std::size_t afternoon = 0;
        std::size_t evening = 0; // 23:59, the board as it will stay until the close
        std::size_t closed = 0;  // the program freed again
    };
    std::vector<Heap> heap(static_cast<std::size_t>(days));
    for (int day = 0; day < days; ++day) {
        SCOPED_TRACE("day " + std::to_string(day));
        // The morning timer starts the program.
        MakeProgram(At("06:00:00.000", day));
        Start();
        ASSERT_EQ(Header(), ExpectedHeader());
        EXPECT_EQ(m_Model->StartProgram(), std::nullopt);
        ExpectBoardAsTheModelSays("the morning start");
        RunUntil("08:00:00.000", day);
        heap[static_cast<std::size_t>(day)].morning = LiveHeapBytes();

        OfficeDay(day);
        if (HasFatalFailure())
            return;

        RunUntil("19:00:00.000", day);
        heap[static_cast<std::size_t>(day)].afternoon = LiveHeapBytes();
        RunUntil("23:59:00.000", day);
        heap[static_cast<std::size_t>(day)].evening = LiveHeapBytes();
        // Still open a minute after midnight; closed on the first tick after 00:01:01.001.
        RunUntil("00:01:01.000", day + 1);
        for (int tick = 0; tick < 12 && !system->Terminated(); ++tick)
            system->AdvanceTime(TickMs());
        ASSERT_TRUE(system->Terminated()) << "still open at " << FormatIso(system->Now());
        EXPECT_LE(system->Now(), At("00:01:06.001", day + 1));
        EXPECT_TRUE(boxes.empty()) << (boxes.empty() ? std::string() : boxes.front().text);

        app.reset();
        system.reset();
        heap[static_cast<std::size_t>(day)].closed = LiveHeapBytes();
        ExpectTablesAsTheOfficeLeftThem(day);
    }

    // The board's memory does not grow while it only refreshes, from the office's last change of
    // the day to the close; from the day the office's tables are in their steady state on, the
    // memory at each hour of the day and after the close stays what it was that day.
    for (int day = 0; day < days; ++day) {
        const Heap& h = heap[static_cast<std::size_t>(day)];
        if (day >= 4) {
            EXPECT_LE(Growth(h.afternoon, h.evening), kHeapSlack) << "over the evening of day " << day;
        }
        if (day > 4) {
            const Heap& first = heap[4];
            EXPECT_LE(Growth(first.morning, h.morning), kHeapSlack) << "mornings, day " << day;
            EXPECT_LE(Growth(first.afternoon, h.afternoon), kHeapSlack) << "afternoons, day " << day;
            EXPECT_LE(Growth(first.evening, h.evening), kHeapSlack) << "evenings, day " << day;
            EXPECT_LE(Growth(first.closed, h.closed), kHeapSlack) << "after the close, day " << day;
        }
    }
    for (int day = 0; day < days; ++day) {
        const Heap& h = heap[static_cast<std::size_t>(day)];
        std::printf("day %2d: morning %zu afternoon %zu evening %zu closed %zu\n", day, h.morning,
                    h.afternoon, h.evening, h.closed);
    }
}

} // namespace
} // namespace ws::test
