#pragma once

// The vocabulary of grid painting: line styles and colours, the pad column style, the record each
// cell paint fills for the owner-draw hooks, the owner-draw events, and the account of what the
// last paint pass put into each data cell.

#include "base/Color.h"
#include "grid/wsDBGridOptions.h"
#include "platform/Geometry.h"
#include "ui/Alignment.h"

#include <functional>
#include <string>
#include <vector>

namespace ws {

class TBrush;
class TCanvas;
class TField;
class TFont;
class TObject;

// Single lines everywhere, 3-D pairs everywhere, or per row: single on white, 3-D otherwise.
enum class TwsGridLineStyle { glsSingle, gls3D, glsDynamic };

enum class TwsPadColumnStyle { pcsPlain, pcsPadHeader, pcsPadHeaderAndData };

struct TwsGridLineColors {
    TColor DataColor = clSilver;
    TColor HighlightColor = clBtnHighlight;
    TColor ShadowColor = clBtnShadow;
    TColor FixedColor = clBlack;
};

// Refilled for every cell; the hooks may clear the switches to suppress parts of the cell.
struct TwsCustomDrawGridCellInfo {
    platform::Rect Rect;
    TGridDrawState State;
    TField* Field = nullptr;
    int DataCol = 0;
    int DataRow = -1;
    bool PaintBackground = true;
    bool DrawTopLine = true;
    bool DrawBottomLine = true;
    bool PaintText = true;
};

using TCalcTitleAttributesEvent =
    std::function<void(TObject* Sender, const std::string& AFieldName, TFont* AFont, TBrush* ABrush,
                       TAlignment& ATitleAlignment)>;
using TwsDrawTitleCellEvent = std::function<void(TObject* Sender, TCanvas& Canvas, TField* Field,
                                                 const platform::Rect& Rect, bool& DefaultDrawing)>;
using TwsDrawDataCellEvent =
    std::function<void(TObject* Sender, const platform::Rect& Rect, TField* Field, TGridDrawState State)>;
using TwsCustomDrawCellEvent = std::function<void(TObject* Sender, TwsCustomDrawGridCellInfo& DrawCellInfo)>;
using TwsBeforePaintEvent = std::function<void(TObject* Sender)>;

// One data cell as the last paint pass drew it: its text, the font and brush colours it was
// painted with, and the state picture's index for a cell painted by a check box (-1 otherwise).
struct TwsPaintedCell {
    std::string Field;
    std::string Text;
    TColor Font = clNone;
    TColor Brush = clNone;
    int Image = -1;
    // Where the cell was painted, in the grid's client area (inside its border).
    TRect Rect;
};

struct TwsPaintedRow {
    int DataRow = 0;
    std::vector<TwsPaintedCell> Cells;
};

} // namespace ws
