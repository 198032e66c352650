#include "ui/CustomForm.h"

#include "ui/Application.h"
#include "ui/Form.h"
#include "ui/GraphicsIdents.h"
#include "ui/PropertiesBuilder.h"

namespace ws {

const TClassInfo& TCustomForm::StaticClassInfo() {
    using C = TCustomForm;
    auto integer = [](void (C::*set)(int)) {
        return [set](C& c, std::int64_t v) { (c.*set)(static_cast<int>(v)); };
    };
    static const TClassInfo info =
        TClassBuilder<C>("TCustomForm", TWinControl::StaticClassInfo())
            .Set<TBorderIcon>("BorderIcons", {"biSystemMenu", "biMinimize", "biMaximize", "biHelp"},
                              &C::BorderIcons, &C::SetBorderIcons)
            .Enum<TFormBorderStyle>(
                "BorderStyle",
                {"bsNone", "bsSingle", "bsSizeable", "bsDialog", "bsToolWindow", "bsSizeToolWin"},
                &C::BorderStyle, &C::SetBorderStyle)
            .String("Caption", &C::Caption, &C::SetCaption)
            .Integer("ClientHeight", &C::ClientHeight, integer(&C::SetClientHeight))
            .Integer("ClientWidth", &C::ClientWidth, integer(&C::SetClientWidth))
            .Enum<TFormStyle>("FormStyle", {"fsNormal", "fsMDIChild", "fsMDIForm", "fsStayOnTop"},
                              &C::FormStyle, &C::SetFormStyle)
            .Object("HorzScrollBar", [](C& c) -> TObject& { return c.HorzScrollBar(); })
            .Object("VertScrollBar", [](C& c) -> TObject& { return c.VertScrollBar(); })
            .Boolean("OldCreateOrder", &C::OldCreateOrder, &C::SetOldCreateOrder)
            .Enum<TPosition>("Position",
                             {"poDesigned", "poDefault", "poDefaultPosOnly", "poDefaultSizeOnly",
                              "poScreenCenter", "poDesktopCenter", "poMainFormCenter", "poOwnerFormCenter"},
                             &C::Position, &C::SetPosition)
            .Integer("PixelsPerInch", &C::PixelsPerInch, integer(&C::SetPixelsPerInch))
            .Enum<TWindowState>("WindowState", {"wsNormal", "wsMinimized", "wsMaximized"}, &C::WindowState,
                                &C::SetWindowState)
            .Event<TNotifyEvent>("OnCreate", &C::OnCreate)
            .Event<TNotifyEvent>("OnShow", &C::OnShow)
            .Build();
    return info;
}

const TClassInfo& TForm::StaticClassInfo() {
    static const TClassInfo info = TClassBuilder<TForm>("TForm", TCustomForm::StaticClassInfo()).Build();
    return info;
}

TCustomForm::TCustomForm(TComponent* owner) : TWinControl(owner) {
    // Forms start hidden; Show (or the event loop, for the main form) makes them visible.
    TWinControl::SetVisible(false);
    SetBounds(0, 0, 320, 240);
}

TCustomForm::~TCustomForm() {
    // The controls inside go with their owner first (Free); the window goes now, while the
    // form can still hear nothing more from it.
    if (HandleAllocated()) {
        const platform::WindowId handle = Handle();
        WindowLost();
        if (Platform())
            Platform()->Destroy(handle);
    }
}

void TCustomForm::SetCaption(const std::string& caption) {
    m_Caption = caption;
    if (HandleAllocated())
        Platform()->SetText(Handle(), caption);
}

void TCustomForm::SetFormStyle(TFormStyle style) {
    if (style == m_FormStyle)
        return;
    m_FormStyle = style;
    RecreateWnd();
}

void TCustomForm::SetWindowState(TWindowState state) {
    m_WindowState = state;
    if (state == TWindowState::wsMaximized && Platform()) {
        const platform::Size screen = Platform()->ScreenSize();
        SetBounds(0, 0, screen.cx, screen.cy);
    }
}

void TCustomForm::PlaceWindow() {
    platform::WindowSystem* system = Platform();
    switch (m_Position) {
    case TPosition::poDefault:
    case TPosition::poDefaultPosOnly:
        // The platform places a pop-up window whose position is left to it at the screen origin.
        SetBounds(0, 0, Width(), Height());
        break;
    case TPosition::poScreenCenter:
    case TPosition::poDesktopCenter: {
        const platform::Size screen = system->ScreenSize();
        SetBounds((screen.cx - Width()) / 2, (screen.cy - Height()) / 2, Width(), Height());
        break;
    }
    default:
        break;
    }
}

void TCustomForm::CreateWnd() {
    platform::WindowSystem* system = Platform();
    if (HandleAllocated() || system == nullptr)
        return;
    PlaceWindow();
    SetHandle(system->CreatePopup(BoundsRect(), MakeEvents(), m_Caption));
    if (m_FormStyle == TFormStyle::fsStayOnTop)
        system->SetTopMost(Handle(), true);
    CreateChildWindows();
    system->SetVisible(Handle(), WindowVisible());
}

void TCustomForm::AfterConstruction() {
    DoCreate();
    HandleNeeded();
}

void TCustomForm::DoCreate() {
    if (OnCreate)
        OnCreate(this);
}

void TCustomForm::DoShow() {
    if (!OnShow)
        return;
    try {
        OnShow(this);
    } catch (const std::exception& error) {
        if (Application == nullptr)
            throw;
        Application->HandleException(error);
    }
}

void TCustomForm::SetVisible(bool visible) {
    if (visible == Visible())
        return;
    if (!visible) {
        TWinControl::SetVisible(false);
        return;
    }
    HandleNeeded();
    DoShow();
    TWinControl::SetVisible(true);
    if (HandleAllocated())
        Platform()->BringToFront(Handle(), true);
}

void TCustomForm::Close() {
    if (Application != nullptr && Application->MainForm() == this) {
        Application->Terminate();
        return;
    }
    Hide();
}

void TCustomForm::Paint(TCanvas& canvas) {
    canvas.Brush().SetColor(Color());
    canvas.FillRect(ClientRect());
}

} // namespace ws
