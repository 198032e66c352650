#include "app/frmJobs.h"

#include "app/OneInstance.h"
#include "descriptions/frmJobsDescription.h"
#include "grid/wsCheckBox.h"
#include "ui/ClassRegistry.h"
#include "ui/ImageList.h"
#include "ui/Label.h"
#include "ui/PropertiesBuilder.h"
#include "ui/Timer.h"

namespace ws {

TActiveJobsForm* ActiveJobsForm = nullptr;
TJobsDM* JobsDM = nullptr;

const TClassInfo& TActiveJobsForm::StaticClassInfo() {
    static const TClassInfo info =
        TClassBuilder<TActiveJobsForm>("TActiveJobsForm", TForm::StaticClassInfo()).Build();
    return info;
}

TActiveJobsForm::TActiveJobsForm(TComponent* owner) : TForm(owner) {
    RegisterClass<TLabel>();
    RegisterClass<TTimer>();
    RegisterClass<TImageList>();
    RegisterClass<TOneInstance>();
    RegisterGridClasses();

    PublishMethod<TNotifyEvent>("FormCreate", [this](TObject* s) { FormCreate(s); });
    PublishMethod<TNotifyEvent>("FormShow", [this](TObject* s) { FormShow(s); });
    PublishMethod<TNotifyEvent>("FormClick", [this](TObject* s) { FormClick(s); });
    PublishMethod<TNotifyEvent>("Timer1Timer", [this](TObject* s) { Timer1Timer(s); });
    PublishMethod<TNotifyEvent>("JobsGridDblClick", [this](TObject* s) { JobsGridDblClick(s); });
    PublishMethod<TNotifyEvent>("RnRGridDblClick", [this](TObject* s) { RnRGridDblClick(s); });
    PublishMethod<TCalcCellColorsEvent>(
        "JobsGridCalcCellColors",
        [this](TObject* s, TField* f, TGridDrawState st, bool h, TFont* font, TBrush* brush) {
            JobsGridCalcCellColors(s, f, st, h, font, brush);
        });
    PublishMethod<TCalcCellColorsEvent>(
        "SpecialDateGridCalcCellColors",
        [this](TObject* s, TField* f, TGridDrawState st, bool h, TFont* font, TBrush* brush) {
            SpecialDateGridCalcCellColors(s, f, st, h, font, brush);
        });
}

TActiveJobsForm::~TActiveJobsForm() {
    if (ActiveJobsForm == this)
        ActiveJobsForm = nullptr;
}

std::string_view TActiveJobsForm::StoredDescription() const {
    return descriptions::frmJobs();
}

template <class T>
T* TActiveJobsForm::Find(std::string_view name) const {
    return dynamic_cast<T*>(FindComponent(name));
}

TLabel* TActiveJobsForm::HeaderLbl() const {
    return Find<TLabel>("HeaderLbl");
}
TwsDBGrid* TActiveJobsForm::JobsGrid() const {
    return Find<TwsDBGrid>("JobsGrid");
}
TwsCheckBox* TActiveJobsForm::wsCheckBox1() const {
    return Find<TwsCheckBox>("wsCheckBox1");
}
TwsCheckBox* TActiveJobsForm::wsCheckBox2() const {
    return Find<TwsCheckBox>("wsCheckBox2");
}
TwsDBGrid* TActiveJobsForm::RnRGrid() const {
    return Find<TwsDBGrid>("RnRGrid");
}
TwsDBGrid* TActiveJobsForm::SpecialDateGrid() const {
    return Find<TwsDBGrid>("SpecialDateGrid");
}
TImageList* TActiveJobsForm::LEDImages() const {
    return Find<TImageList>("LEDImages");
}
TTimer* TActiveJobsForm::Timer1() const {
    return Find<TTimer>("Timer1");
}
TOneInstance* TActiveJobsForm::OneInstance1() const {
    return Find<TOneInstance>("OneInstance1");
}

void TActiveJobsForm::FormCreate(TObject*) {
    m_FirstShow = true;
    ActiveJobsForm->SetWidth(RunWidth);
    ActiveJobsForm->SetHeight(RunHeight);
    ActiveJobsForm->SetFormStyle(TFormStyle::fsStayOnTop);
}

void TActiveJobsForm::FormShow(TObject*) {
    // Loading the colour bands, applying the board filters and stacking the grids belong here,
    // ahead of the line below, once the data module and the board cycle exist.
    m_FirstShow = false;
}

void TActiveJobsForm::Timer1Timer(TObject*) {
    // The five-second refresh cycle belongs here once the data module and the board cycle exist.
}

void TActiveJobsForm::FormClick(TObject*) {
    ActiveJobsForm->Close();
}

void TActiveJobsForm::JobsGridDblClick(TObject*) {
    ActiveJobsForm->Close();
}

void TActiveJobsForm::RnRGridDblClick(TObject*) {
    ActiveJobsForm->Close();
}

void TActiveJobsForm::JobsGridCalcCellColors(TObject*, TField*, TGridDrawState, bool, TFont*, TBrush*) {
    // The due-date colour bands belong here once the data module exists; cells keep the grid's colours.
}

void TActiveJobsForm::SpecialDateGridCalcCellColors(TObject*, TField*, TGridDrawState, bool, TFont*,
                                                    TBrush*) {
    // The special-date colour schemes belong here once the data module exists.
}

} // namespace ws
