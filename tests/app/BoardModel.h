#pragma once

// What the wall screen should show at a given moment, worked out straight from the table files
// with SQLite: which jobs each of the three lists holds and in which order, every cell's text,
// font and brush colour and LED picture, the header line, and where the lists are stacked. It
// shares no code with the program: not its engine, its views, its fields nor its formatting, so
// that a fault there cannot hide by appearing on both sides of a comparison.
//
// The colour bands are the one piece of state: the board keeps a band's last loaded text when its
// row disappears, so the model does too (StartProgram and Tick load them as the board does).

#include <array>
#include <cstdint>
#include <optional>
#include <string>
#include <vector>

namespace ws::test::model {

struct Cell {
    std::string field;
    std::string text;
    std::uint32_t font = 0;
    std::uint32_t brush = 0;
    int image = -1; // the LED picture of an "Inv" cell: 0 red, 1 green; -1 for text cells
};

struct Row {
    std::string orderNo; // which job it is, for messages
    std::vector<Cell> cells;
};

struct Grid {
    std::string name;
    int top = 0;
    int height = 0;
    bool visible = false;
    int recordCount = 0;
    std::vector<Row> rows; // every row the list holds, from the top
    // The page the list shows (0 for the first) of 'pages'; its rows are rows[first] to
    // rows[first + shown - 1]. A list that shows all its rows has page 0 of 1.
    int page = 0;
    int pages = 1;
    int first = 0;
    int shown = 0;
};

struct Board {
    std::string header;
    std::array<Grid, 3> grids; // JobsGrid, SpecialDateGrid, RnRGrid
};

// The grids' geometry on the headless platform: a two-pixel sunken edge, a title row 24 pixels
// high and data rows 26 pixels high (the fonts' metrics), each followed by a one-pixel line.
inline constexpr int kGridBorder = 2;
inline constexpr int kTitleRowHeight = 24;
inline constexpr int kDataRowHeight = 26;
// Where data row i of a list begins, in pixels below the grid's top edge.
constexpr int RowTop(int i) {
    return kGridBorder + kTitleRowHeight + 1 + i * (kDataRowHeight + 1);
}

// Milliseconds since 30 December 1899 00:00, the program's day count written exactly.
using Millis = std::int64_t;

// Where the board puts its lists for these counts (top, middle, bottom): each list's height and
// the rows it shows at a time. The lists get their row pitch per job (33, 28, 33) or what their
// title row and rows need if that is more; when that runs past the window's 1895 pixels, only what
// the rows need; when that still runs past, they share the window: each list with jobs keeps at
// least five rows (all when it has fewer), the list needing the most pages needs as few as can
// be, and the rows left over go to the lists from the top down. A list showing fewer rows than
// it holds pages through them.
struct Layout {
    std::array<int, 3> heights{};
    std::array<int, 3> rows{};
};
Layout LayoutFor(const std::array<int, 3>& counts);

class BoardModel {
public:
    explicit BoardModel(std::string dir) : m_Dir(std::move(dir)) {}

    // The program starts: every band is "clNone" and the five rows are loaded. Returns the band
    // warning the first showing displays, when fewer than five band rows are found.
    std::optional<std::string> StartProgram();
    // A refresh tick reloads the bands (a missing row leaves its band as it was) and turns the
    // pages: when a count changed since the last tick, the lists are arranged again and every
    // list starts at its first page; otherwise each paged list shows its next page. Call it once
    // for every tick the board runs.
    void Tick();

    // The board at moment 'now' over the tables as they are.
    Board Compute(Millis now) const;

    // For the office: the order numbers each list holds, from the top (0 top, 1 middle, 2 bottom).
    std::vector<std::string> ListOrderNos(int list) const;

    const std::array<std::string, 5>& Bands() const { return m_Bands; }

private:
    int LoadBands();
    std::array<int, 3> Counts() const;

    std::string m_Dir;
    std::array<std::string, 5> m_Bands;
    std::array<int, 3> m_Counts{};
    std::array<int, 3> m_Page{};
};

// A colour text as the board reads it; nullopt for a text it rejects.
std::optional<std::uint32_t> ColorOfText(const std::string& text);
// A text of at most 'n' characters of UTF-8: the first n whole characters.
std::string FirstChars(const std::string& text, std::size_t n);
// A day number of the tables (1 = 1 January 0001) as the board writes a date: dd/mm/yyyy.
std::string DayText(std::int64_t dayNumber);
// The same day as milliseconds since 30 December 1899.
Millis DayMillis(std::int64_t dayNumber);

} // namespace ws::test::model
