#pragma once

// The wall screen's main window: the header band, the three grids, the hidden LED check boxes,
// their image list, the refresh timer and the single-instance guard, all from its stored
// description. Every handler reaches the window and the data module through the globals below.

#include "grid/wsDBGrid.h"
#include "ui/Form.h"

#include <string_view>

namespace ws {

class TLabel;
class TTimer;
class TImageList;
class TwsCheckBox;
class TOneInstance;
class TJobsDM;

class TActiveJobsForm : public TForm {
public:
    WS_CLASS_INFO()

    explicit TActiveJobsForm(TComponent* owner);
    ~TActiveJobsForm() override;

    std::string_view StoredDescription() const override;

    // The components of the description, by name (null once freed).
    TLabel* HeaderLbl() const;
    TwsDBGrid* JobsGrid() const;
    TwsCheckBox* wsCheckBox1() const;
    TwsCheckBox* wsCheckBox2() const;
    TwsDBGrid* RnRGrid() const;
    TwsDBGrid* SpecialDateGrid() const;
    TImageList* LEDImages() const;
    TTimer* Timer1() const;
    TOneInstance* OneInstance1() const;

    // True only during the first showing of the window.
    bool FirstShow() const { return m_FirstShow; }

    // Handlers (the sender is ignored).
    void FormCreate(TObject* Sender);
    void FormShow(TObject* Sender);
    void FormClick(TObject* Sender);
    void Timer1Timer(TObject* Sender);
    void JobsGridDblClick(TObject* Sender);
    void RnRGridDblClick(TObject* Sender);
    void JobsGridCalcCellColors(TObject* Sender, TField* Field, TGridDrawState State, bool Highlight,
                                TFont* AFont, TBrush* ABrush);
    void SpecialDateGridCalcCellColors(TObject* Sender, TField* Field, TGridDrawState State, bool Highlight,
                                       TFont* AFont, TBrush* ABrush);

    static constexpr int RunWidth = 1094;
    static constexpr int RunHeight = 1895;

private:
    template <class T>
    T* Find(std::string_view name) const;

    bool m_FirstShow = false;
};

// The main window and the data module; each is assigned before its object is built.
extern TActiveJobsForm* ActiveJobsForm;
extern TJobsDM* JobsDM;

} // namespace ws
