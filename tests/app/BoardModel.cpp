#include "BoardModel.h"

#include <algorithm>
#include <cctype>
#include <cstdlib>
#include <sqlite3.h>
#include <stdexcept>

namespace ws::test::model {

namespace {

constexpr Millis kDay = 86'400'000;

// Colours the board works with, as 32-bit values ($00BBGGRR; $FF0000nn a system colour).
constexpr std::uint32_t kWindow = 0xFF000005;     // clWindow
constexpr std::uint32_t kWindowText = 0xFF000008; // clWindowText
constexpr std::uint32_t kRed = 0x000000FF;        // clRed
constexpr std::uint32_t kYellow = 0x0000FFFF;     // clYellow
constexpr std::uint32_t kBlue = 0x00FF0000;       // clBlue
constexpr std::uint32_t kNone = 0x1FFFFFFF;       // clNone

// A read-only connection to one table file.
class TableFile {
public:
    explicit TableFile(const std::string& path) {
        if (sqlite3_open_v2(path.c_str(), &m_Db, SQLITE_OPEN_READONLY, nullptr) != SQLITE_OK) {
            const std::string message = m_Db ? sqlite3_errmsg(m_Db) : "out of memory";
            sqlite3_close(m_Db);
            throw std::runtime_error("model: cannot open " + path + ": " + message);
        }
        sqlite3_busy_timeout(m_Db, 10'000);
    }
    ~TableFile() { sqlite3_close(m_Db); }
    TableFile(const TableFile&) = delete;
    TableFile& operator=(const TableFile&) = delete;

    sqlite3* Handle() const { return m_Db; }

private:
    sqlite3* m_Db = nullptr;
};

// One value of a result row.
struct Value {
    bool null = true;
    std::int64_t integer = 0;
    double real = 0;
    std::string text;
};

using Record = std::vector<Value>;

std::vector<Record> Query(const TableFile& file, const std::string& sql, const std::string& parameter = {},
                          bool bind = false) {
    sqlite3_stmt* statement = nullptr;
    if (sqlite3_prepare_v2(file.Handle(), sql.c_str(), -1, &statement, nullptr) != SQLITE_OK)
        throw std::runtime_error("model: " + sql + ": " + sqlite3_errmsg(file.Handle()));
    if (bind)
        sqlite3_bind_text(statement, 1, parameter.c_str(), static_cast<int>(parameter.size()),
                          SQLITE_TRANSIENT);
    std::vector<Record> records;
    int rc = 0;
    while ((rc = sqlite3_step(statement)) == SQLITE_ROW) {
        Record record(static_cast<std::size_t>(sqlite3_column_count(statement)));
        for (int i = 0; i < sqlite3_column_count(statement); ++i) {
            Value& v = record[static_cast<std::size_t>(i)];
            v.null = sqlite3_column_type(statement, i) == SQLITE_NULL;
            v.integer = sqlite3_column_int64(statement, i);
            v.real = sqlite3_column_double(statement, i);
            if (const unsigned char* t = sqlite3_column_text(statement, i))
                v.text.assign(reinterpret_cast<const char*>(t),
                              static_cast<std::size_t>(sqlite3_column_bytes(statement, i)));
        }
        records.push_back(std::move(record));
    }
    const std::string error = rc == SQLITE_DONE ? std::string() : sqlite3_errmsg(file.Handle());
    sqlite3_finalize(statement);
    if (!error.empty())
        throw std::runtime_error("model: " + sql + ": " + error);
    return records;
}

std::string Decimal(int n) {
    return std::to_string(n);
}

struct NamedColor {
    const char* name;
    std::uint32_t value;
};

// The colour names the office's band rows use.
constexpr NamedColor kNames[] = {
    {"clBlack", 0x00000000},      {"clMaroon", 0x00000080},     {"clGreen", 0x00008000},
    {"clOlive", 0x00008080},      {"clNavy", 0x00800000},       {"clPurple", 0x00800080},
    {"clTeal", 0x00808000},       {"clGray", 0x00808080},       {"clSilver", 0x00C0C0C0},
    {"clRed", 0x000000FF},        {"clLime", 0x0000FF00},       {"clYellow", 0x0000FFFF},
    {"clBlue", 0x00FF0000},       {"clFuchsia", 0x00FF00FF},    {"clAqua", 0x00FFFF00},
    {"clWhite", 0x00FFFFFF},      {"clMoneyGreen", 0x00C0DCC0}, {"clSkyBlue", 0x00F0CAA6},
    {"clCream", 0x00F0FBFF},      {"clMedGray", 0x00A4A0A0},    {"clNone", 0x1FFFFFFF},
    {"clWindowText", 0xFF000008}, {"clHighlight", 0xFF00000D},  {"clBtnFace", 0xFF00000F},
};

bool SameLetters(const std::string& a, const char* b) {
    std::size_t i = 0;
    for (; i < a.size() && b[i] != '\0'; ++i) {
        if (std::tolower(static_cast<unsigned char>(a[i])) != std::tolower(static_cast<unsigned char>(b[i])))
            return false;
    }
    return i == a.size() && b[i] == '\0';
}

// Civil date of a count of days since 1 January 1970.
void CivilFromDays(std::int64_t z, int& year, int& month, int& day) {
    z += 719468;
    const std::int64_t era = (z >= 0 ? z : z - 146096) / 146097;
    const std::int64_t doe = z - era * 146097;
    const std::int64_t yoe = (doe - doe / 1460 + doe / 36524 - doe / 146096) / 365;
    const std::int64_t doy = doe - (365 * yoe + yoe / 4 - yoe / 100);
    const std::int64_t mp = (5 * doy + 2) / 153;
    day = static_cast<int>(doy - (153 * mp + 2) / 5 + 1);
    month = static_cast<int>(mp < 10 ? mp + 3 : mp - 9);
    year = static_cast<int>(yoe + era * 400 + (month <= 2 ? 1 : 0));
}

std::string TwoDigits(int n) {
    return (n < 10 ? "0" : "") + std::to_string(n);
}

std::string TextOf(const Value& v) {
    return v.null ? std::string() : v.text;
}

// The top list's font colour for a job due at 'due' (its start of day), or nullopt when no band
// applies and the grid's own colour stays.
std::optional<std::string> BandText(Millis due, Millis now, const std::array<std::string, 5>& bands) {
    std::optional<std::string> band;
    if (due >= now + 3 * kDay)
        band = bands[0];
    if (due >= now + 7 * kDay)
        band = bands[1];
    if (due >= now + 14 * kDay)
        band = bands[2];
    if (due > now + 21 * kDay)
        band = bands[3];
    if (now > due)
        band = bands[4];
    return band;
}

struct Job {
    std::int64_t rowid = 0;
    std::string orderNo, name, location, locationAbv, section, graveNo;
    std::optional<std::int64_t> dueDay;
    bool invoiced = false, invoicedNull = true;
    bool active = false, jewish = false, interment = false;
    bool specialDate = false;
};

std::vector<Job> JobsInIndexOrder(const std::string& dir) {
    TableFile file(dir + "/OrderHead.DB");
    // iDueDateA: ascending due date, blank first, equal dates in row-id order.
    const auto records = Query(
        file, "SELECT rowid, OrderNo, Name, Location, LocationABV, Section, GraveNo, DueDate, Invoiced, "
              "IsActive, IsJewish, IsInterment, DateOffSet FROM records ORDER BY DueDate, rowid");
    std::vector<Job> jobs;
    for (const Record& r : records) {
        Job job;
        job.rowid = r[0].integer;
        job.orderNo = TextOf(r[1]);
        job.name = TextOf(r[2]);
        job.location = TextOf(r[3]);
        job.locationAbv = TextOf(r[4]);
        job.section = TextOf(r[5]);
        job.graveNo = TextOf(r[6]);
        if (!r[7].null)
            job.dueDay = r[7].integer;
        job.invoicedNull = r[8].null;
        job.invoiced = !r[8].null && r[8].integer != 0;
        job.active = !r[9].null && r[9].integer != 0;
        job.jewish = !r[10].null && r[10].integer != 0;
        job.interment = !r[11].null && r[11].integer != 0;
        job.specialDate = !r[12].null && r[12].real == 3.0;
        jobs.push_back(std::move(job));
    }
    return jobs;
}

bool OnList(const Job& job, int list) {
    switch (list) {
    case 0:
        return job.active && job.jewish;
    case 1:
        return job.specialDate && job.active;
    default:
        // The office never leaves Invoiced blank on these jobs (how a blank compares is the
        // engine's rule, not the board's).
        return job.active && !job.invoicedNull && !job.invoiced && job.interment;
    }
}

Cell TextCell(const char* field, std::string text) {
    return Cell{field, std::move(text), 0, 0, -1};
}
Cell LedCell(const Job& job) {
    return Cell{"Invoiced", "", 0, 0, job.invoiced ? 1 : 0};
}

std::string DueText(const Job& job) {
    return job.dueDay ? DayText(*job.dueDay) : std::string();
}
Millis DueMillis(const Job& job) {
    return job.dueDay ? DayMillis(*job.dueDay) : 0;
}

void Paint(Row& row, std::uint32_t font, std::uint32_t brush) {
    for (Cell& cell : row.cells) {
        cell.font = font;
        cell.brush = brush;
    }
}

} // namespace

std::optional<std::uint32_t> ColorOfText(const std::string& text) {
    for (const NamedColor& c : kNames) {
        if (SameLetters(text, c.name))
            return c.value;
    }
    std::size_t i = 0;
    while (i < text.size() && text[i] == ' ')
        ++i;
    bool negative = false;
    if (i < text.size() && (text[i] == '-' || text[i] == '+'))
        negative = text[i++] == '-';
    std::int64_t value = 0;
    if (i < text.size() &&
        (text[i] == '$' || text[i] == 'x' || text[i] == 'X' ||
         (text[i] == '0' && i + 1 < text.size() && (text[i + 1] == 'x' || text[i + 1] == 'X')))) {
        i += text[i] == '0' ? 2 : 1;
        if (i >= text.size())
            return std::nullopt;
        int significant = 0;
        for (; i < text.size(); ++i) {
            if (!std::isxdigit(static_cast<unsigned char>(text[i])))
                return std::nullopt;
            value = value * 16 + std::stoi(std::string(1, text[i]), nullptr, 16);
            if (value != 0 && ++significant > 8)
                return std::nullopt;
        }
        const auto bits = static_cast<std::uint32_t>(value);
        return negative ? 0u - bits : bits;
    }
    if (i >= text.size())
        return std::nullopt;
    for (; i < text.size(); ++i) {
        if (!std::isdigit(static_cast<unsigned char>(text[i])))
            return std::nullopt;
        value = value * 10 + (text[i] - '0');
        if (value > 2147483648LL)
            return std::nullopt;
    }
    if (negative)
        value = -value;
    if (value > 2147483647LL)
        return std::nullopt;
    return static_cast<std::uint32_t>(static_cast<std::int32_t>(value));
}

std::string FirstChars(const std::string& text, std::size_t n) {
    std::size_t at = 0;
    for (std::size_t count = 0; at < text.size() && count < n; ++count) {
        ++at;
        while (at < text.size() && (static_cast<unsigned char>(text[at]) & 0xC0) == 0x80)
            ++at;
    }
    return text.substr(0, at);
}

std::string DayText(std::int64_t dayNumber) {
    int year = 0, month = 0, day = 0;
    // Day 1 is 1 January 0001; 1 January 1970 is day 719163.
    CivilFromDays(dayNumber - 719163, year, month, day);
    std::string y = std::to_string(year);
    while (y.size() < 4)
        y = "0" + y;
    return TwoDigits(day) + "/" + TwoDigits(month) + "/" + y;
}

Millis DayMillis(std::int64_t dayNumber) {
    return (dayNumber - 693594) * kDay;
}

int BoardModel::LoadBands() {
    TableFile file(m_Dir + "/Options.DB");
    int found = 0;
    for (int k = 1; k <= 5; ++k) {
        // The first row of that exact name, in the table's own order.
        const auto records =
            Query(file, "SELECT OptionValue FROM records WHERE OptionName = ? ORDER BY rowid LIMIT 1",
                  "Band " + Decimal(k), true);
        if (!records.empty()) {
            m_Bands[static_cast<std::size_t>(k - 1)] = TextOf(records[0][0]);
            ++found;
        }
    }
    return found;
}

Layout LayoutFor(const std::array<int, 3>& counts) {
    constexpr int kWindowHeight = 1895;
    constexpr int kFirstTop = 32;
    constexpr int kOverhead = 2 * kGridBorder + kTitleRowHeight + 1;
    constexpr int kPitch = kDataRowHeight + 1;
    const std::array<int, 3> designed{33, 28, 33};
    auto need = [&](const std::array<int, 3>& rows) {
        int total = 0;
        for (std::size_t i = 0; i < 3; ++i)
            total += rows[i] > 0 ? kOverhead + rows[i] * kPitch : 0;
        return total;
    };
    Layout layout;
    layout.rows = counts;
    int total = kFirstTop;
    for (std::size_t i = 0; i < 3; ++i) {
        layout.heights[i] =
            counts[i] > 0 ? std::max(counts[i] * designed[i], kOverhead + counts[i] * kPitch) : 0;
        total += layout.heights[i];
    }
    if (total <= kWindowHeight)
        return layout;
    const int room = kWindowHeight - kFirstTop;
    if (need(counts) > room) {
        // The smallest round of pages for which five rows a list (or all) plus each list's share
        // fit; then the rest from the top down.
        std::array<int, 3> rows{};
        for (std::size_t i = 0; i < 3; ++i)
            rows[i] = std::min(counts[i], 5);
        const int longest = std::max({counts[0], counts[1], counts[2]});
        for (int pages = 2; pages <= longest; ++pages) {
            std::array<int, 3> share{};
            for (std::size_t i = 0; i < 3; ++i)
                share[i] = std::min(counts[i], std::max(rows[i], (counts[i] + pages - 1) / pages));
            if (need(share) <= room) {
                rows = share;
                break;
            }
        }
        for (std::size_t i = 0; i < 3; ++i) {
            while (rows[i] < counts[i]) {
                std::array<int, 3> more = rows;
                ++more[i];
                if (need(more) > room)
                    break;
                rows = more;
            }
        }
        layout.rows = rows;
    }
    for (std::size_t i = 0; i < 3; ++i)
        layout.heights[i] = layout.rows[i] > 0 ? kOverhead + layout.rows[i] * kPitch : 0;
    return layout;
}

std::array<int, 3> BoardModel::Counts() const {
    return {static_cast<int>(ListOrderNos(0).size()), static_cast<int>(ListOrderNos(1).size()),
            static_cast<int>(ListOrderNos(2).size())};
}

void BoardModel::Tick() {
    LoadBands();
    const std::array<int, 3> counts = Counts();
    if (counts != m_Counts) {
        m_Counts = counts;
        m_Page.fill(0);
        return;
    }
    const Layout layout = LayoutFor(counts);
    for (std::size_t i = 0; i < 3; ++i) {
        const int pages = layout.rows[i] > 0 ? (counts[i] + layout.rows[i] - 1) / layout.rows[i] : 1;
        m_Page[i] = (m_Page[i] + 1) % std::max(pages, 1);
    }
}

std::optional<std::string> BoardModel::StartProgram() {
    m_Counts = Counts();
    m_Page.fill(0);
    m_Bands.fill("clNone");
    const int found = LoadBands();
    if (found >= 5)
        return std::nullopt;
    static const char* const kCounts[] = {
        "No Colours have been configured yet", "One Colour has been configured ",
        "Only two colours have been configured", "Only three colours have been configured",
        "Only four colours have been configured"};
    return std::string(kCounts[found]) +
           "\nPlease use the Custom Color utility\n in the program to correct this error";
}

std::vector<std::string> BoardModel::ListOrderNos(int list) const {
    std::vector<std::string> numbers;
    for (const Job& job : JobsInIndexOrder(m_Dir)) {
        if (OnList(job, list))
            numbers.push_back(job.orderNo);
    }
    return numbers;
}

Board BoardModel::Compute(Millis now) const {
    const std::vector<Job> jobs = JobsInIndexOrder(m_Dir);
    TableFile jewish(m_Dir + "/Jewish.DB");
    TableFile rnr(m_Dir + "/RNR.DB");
    Board board;
    board.grids[0].name = "JobsGrid";
    board.grids[1].name = "SpecialDateGrid";
    board.grids[2].name = "RnRGrid";

    for (const Job& job : jobs) {
        if (OnList(job, 0)) {
            Row row{job.orderNo, {}};
            std::string memorial;
            const auto detail =
                Query(jewish, "SELECT Stone, Position FROM records WHERE OrderNo = ? ORDER BY rowid LIMIT 1",
                      job.orderNo, true);
            if (!detail.empty())
                memorial = FirstChars(TextOf(detail[0][0]) + " " + TextOf(detail[0][1]), 80);
            row.cells = {TextCell("Name", job.name),        LedCell(job),
                         TextCell("DueDate", DueText(job)), TextCell("LocationABV", job.locationAbv),
                         TextCell("Memorial", memorial),    TextCell("Section", job.section),
                         TextCell("GraveNo", job.graveNo)};
            std::uint32_t font = kWindowText;
            if (const auto band = BandText(DueMillis(job), now, m_Bands)) {
                const auto color = ColorOfText(*band);
                if (!color)
                    throw std::runtime_error("model: the band text '" + *band + "' is not a colour");
                // Text in clNone is drawn in the colour the grid gave it: "no colour" changes nothing.
                if (*color != kNone)
                    font = *color;
            }
            Paint(row, font, kWindow);
            board.grids[0].rows.push_back(std::move(row));
        }
        if (OnList(job, 1)) {
            Row row{job.orderNo,
                    {TextCell("Name", job.name), LedCell(job), TextCell("DueDate", DueText(job)),
                     TextCell("Location", job.location), TextCell("Section", job.section),
                     TextCell("GraveNo", job.graveNo)}};
            const Millis due = DueMillis(job);
            std::uint32_t font = kWindowText, brush = kWindow;
            if (now + kDay > due) {
                font = kYellow;
                brush = kBlue;
            }
            if (!(now > due) && due <= now + 7 * kDay) {
                font = kRed;
                brush = kWindow;
            }
            Paint(row, font, brush);
            board.grids[1].rows.push_back(std::move(row));
        }
        if (OnList(job, 2)) {
            std::string nameOnStone, burial, cem, current;
            const auto detail = Query(rnr,
                                      "SELECT Name, BurialDate, CurrentLocation FROM records WHERE OrderNo = "
                                      "? ORDER BY rowid LIMIT 1",
                                      job.orderNo, true);
            if (!detail.empty()) {
                nameOnStone = FirstChars(TextOf(detail[0][0]), 80);
                burial = detail[0][1].null ? std::string() : FirstChars(DayText(detail[0][1].integer), 10);
                std::string text = job.location;
                if (!job.section.empty())
                    text += " S:" + job.section;
                if (!job.graveNo.empty())
                    text += " G:" + job.graveNo;
                cem = FirstChars(text, 80);
                current = FirstChars(TextOf(detail[0][2]), 80);
            }
            Row row{job.orderNo,
                    {TextCell("Name", job.name), TextCell("NameOnStone", nameOnStone),
                     TextCell("DueDate", DueText(job)), TextCell("Burial", burial), TextCell("Cem", cem),
                     TextCell("CurentLocation", current)}};
            Paint(row, kRed, kWindow);
            board.grids[2].rows.push_back(std::move(row));
        }
    }

    const int c1 = static_cast<int>(board.grids[0].rows.size());
    const int c3 = static_cast<int>(board.grids[1].rows.size());
    const int c2 = static_cast<int>(board.grids[2].rows.size());
    board.header = "Active Jobs - Jewish(Top) : " + Decimal(c1) + " | Special date(Middle) : " + Decimal(c3) +
                   " | Interment(Bottom) : " + Decimal(c2);
    // Stacked under the header, each list at the bottom edge of the one above, so that no list
    // hides another's last row; a list without jobs is hidden with height 0. A list that shows
    // fewer rows than it holds shows the page the ticks have turned it to.
    const Layout layout = LayoutFor({c1, c3, c2});
    int top = 32;
    for (std::size_t i = 0; i < 3; ++i) {
        Grid& grid = board.grids[i];
        grid.top = top;
        grid.height = layout.heights[i];
        top += grid.height;
        const int count = static_cast<int>(grid.rows.size());
        const int perPage = std::max(layout.rows[i], 1);
        grid.pages = std::max(1, (count + perPage - 1) / perPage);
        grid.page = layout.rows[i] < count && m_Page[i] < grid.pages ? m_Page[i] : 0;
        grid.first = grid.page * perPage;
        grid.shown = grid.pages > 1 ? std::min(perPage, count - grid.first) : count;
    }
    for (Grid& grid : board.grids) {
        grid.recordCount = static_cast<int>(grid.rows.size());
        grid.visible = grid.recordCount != 0;
    }
    return board;
}

} // namespace ws::test::model
