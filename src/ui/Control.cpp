#include "ui/Control.h"

#include "ui/GraphicsIdents.h"
#include "ui/PropertiesBuilder.h"
#include "ui/WinControl.h"

namespace ws {

namespace {

platform::WindowSystem*& CurrentPlatform() {
    static platform::WindowSystem* system = nullptr;
    return system;
}

} // namespace

const TClassInfo& TControl::StaticClassInfo() {
    using C = TControl;
    auto integer = [](void (C::*set)(int)) {
        return [set](C& c, std::int64_t v) { (c.*set)(static_cast<int>(v)); };
    };
    static const TClassInfo info =
        TClassBuilder<C>("TControl", TComponent::StaticClassInfo())
            .Integer("Left", &C::Left, integer(&C::SetLeft))
            .Integer("Top", &C::Top, integer(&C::SetTop))
            .Integer("Width", &C::Width, integer(&C::SetWidth))
            .Integer("Height", &C::Height, integer(&C::SetHeight))
            .Boolean("Visible", &C::Visible, &C::SetVisible)
            .Integer(
                "Color", &C::Color, [](C& c, std::int64_t v) { c.SetColor(static_cast<TColor>(v)); },
                ColorIdentToInt)
            .Object("Font", [](C& c) -> TObject& { return c.Font(); })
            .Boolean("ParentFont", &C::ParentFont, &C::SetParentFont)
            .Event<TNotifyEvent>("OnClick", &C::OnClick)
            .Event<TNotifyEvent>("OnDblClick", &C::OnDblClick)
            .Build();
    return info;
}

TControl::TControl(TComponent* owner) : TComponent(owner) {
    m_Font.OnChange = [this] {
        if (!m_SettingParentFont)
            m_ParentFont = false;
        FontChanged();
    };
}

TControl::~TControl() {
    if (m_Parent)
        m_Parent->RemoveControl(this);
    m_Parent = nullptr;
    if (m_Handle != 0 && Platform())
        Platform()->Destroy(m_Handle);
    m_Handle = 0;
}

platform::WindowSystem* TControl::Platform() {
    return CurrentPlatform();
}

void TControl::SetPlatform(platform::WindowSystem* system) {
    CurrentPlatform() = system;
}

void TControl::SetBounds(int left, int top, int width, int height) {
    if (left == m_Left && top == m_Top && width == m_Width && height == m_Height)
        return;
    m_Left = left;
    m_Top = top;
    m_Width = width;
    m_Height = height;
    if (m_Handle != 0)
        Platform()->SetBounds(m_Handle, BoundsRect());
}

void TControl::SetVisible(bool visible) {
    if (visible == m_Visible)
        return;
    m_Visible = visible;
    SyncWindowVisible();
}

void TControl::SyncWindowVisible() {
    if (m_Handle != 0)
        Platform()->SetVisible(m_Handle, WindowVisible());
}

bool TControl::Showing() const {
    return m_Visible && (m_Parent == nullptr || m_Parent->Showing());
}

void TControl::SetParent(TWinControl* parent) {
    if (parent == m_Parent)
        return;
    if (parent == this)
        throw EInvalidOperation("A control cannot be its own parent");
    if (m_Parent) {
        DestroyWnd();
        m_Parent->RemoveControl(this);
    }
    m_Parent = parent;
    if (!parent)
        return;
    parent->InsertControl(this);
    if (m_ParentFont) {
        m_SettingParentFont = true;
        m_Font.Assign(parent->Font());
        m_SettingParentFont = false;
    }
    if (parent->HandleAllocated())
        CreateWnd();
}

void TControl::SetParentComponent(TComponent* parent) {
    if (auto* container = dynamic_cast<TWinControl*>(parent))
        SetParent(container);
}

void TControl::SetColor(TColor color) {
    if (color == m_Color)
        return;
    m_Color = color;
    Invalidate();
}

void TControl::SetParentFont(bool parentFont) {
    m_ParentFont = parentFont;
    if (!parentFont || m_Parent == nullptr)
        return;
    m_SettingParentFont = true;
    m_Font.Assign(m_Parent->Font());
    m_SettingParentFont = false;
}

void TControl::FontChanged() {
    Invalidate();
}

void TControl::Invalidate() {
    if (m_Handle != 0)
        Platform()->Invalidate(m_Handle);
}

void TControl::Update() {
    if (m_Handle != 0)
        Platform()->Update(m_Handle);
}

void TControl::Repaint() {
    Invalidate();
    Update();
}

void TControl::Click() {
    if (OnClick)
        OnClick(this);
}

void TControl::DblClick() {
    if (OnDblClick)
        OnDblClick(this);
}

void TControl::Paint(TCanvas& canvas) {
    canvas.Brush().SetColor(m_Color);
    canvas.FillRect(ClientRect());
}

void TControl::MouseClick(TPoint) {
    Click();
}

void TControl::MouseDblClick(TPoint) {
    DblClick();
}

platform::WindowEvents TControl::MakeEvents() {
    platform::WindowEvents events;
    events.paint = [this](platform::PixelCanvas& surface, const platform::Rect&) {
        TCanvas canvas(surface);
        canvas.Font().Assign(m_Font);
        Paint(canvas);
    };
    events.click = [this](platform::Point at) { MouseClick(at); };
    events.doubleClick = [this](platform::Point at) { MouseDblClick(at); };
    return events;
}

void TControl::CreateWnd() {
    platform::WindowSystem* system = Platform();
    if (m_Handle != 0 || system == nullptr || m_Parent == nullptr || !m_Parent->HandleAllocated())
        return;
    m_Handle = system->CreateChild(m_Parent->Handle(), BoundsRect(), MakeEvents());
    system->SetVisible(m_Handle, WindowVisible());
}

void TControl::DestroyWnd() {
    if (m_Handle == 0)
        return;
    const platform::WindowId handle = m_Handle;
    WindowLost();
    Platform()->Destroy(handle);
}

void TControl::WindowLost() {
    m_Handle = 0;
}

} // namespace ws
