#pragma once

// A visible element of a form: a rectangle inside its parent with a colour, a font, clicks and
// painting. A control gets a window of the platform (a child window of its parent's) as soon as
// it has a parent whose window exists, and gives it up when it leaves that parent or is freed.
// Geometry is in pixels, relative to the parent's top-left corner.

#include "base/Color.h"
#include "platform/WindowSystem.h"
#include "ui/Canvas.h"
#include "ui/Component.h"
#include "ui/Font.h"

namespace ws {

class TWinControl;

class TControl : public TComponent {
public:
    WS_CLASS_INFO()

    explicit TControl(TComponent* owner);
    ~TControl() override;

    int Left() const { return m_Left; }
    int Top() const { return m_Top; }
    int Width() const { return m_Width; }
    int Height() const { return m_Height; }
    void SetLeft(int left) { SetBounds(left, m_Top, m_Width, m_Height); }
    void SetTop(int top) { SetBounds(m_Left, top, m_Width, m_Height); }
    void SetWidth(int width) { SetBounds(m_Left, m_Top, width, m_Height); }
    void SetHeight(int height) { SetBounds(m_Left, m_Top, m_Width, height); }
    virtual void SetBounds(int left, int top, int width, int height);
    TRect BoundsRect() const { return TRect::FromSize(m_Left, m_Top, m_Width, m_Height); }
    TRect ClientRect() const { return TRect{0, 0, m_Width, m_Height}; }

    bool Visible() const { return m_Visible; }
    virtual void SetVisible(bool visible);
    void Show() { SetVisible(true); }
    void Hide() { SetVisible(false); }
    // Visible itself and inside visible parents.
    bool Showing() const;

    TWinControl* Parent() const { return m_Parent; }
    void SetParent(TWinControl* parent);
    void SetParentComponent(TComponent* parent) override;

    TColor Color() const { return m_Color; }
    void SetColor(TColor color);
    TFont& Font() { return m_Font; }
    const TFont& Font() const { return m_Font; }
    // When true the control takes its parent's font; setting the font itself ends that.
    bool ParentFont() const { return m_ParentFont; }
    void SetParentFont(bool parentFont);

    // The platform window, once there is one (0 before).
    platform::WindowId Handle() const { return m_Handle; }
    bool HandleAllocated() const { return m_Handle != 0; }
    // The window system the program runs on; null before the application exists.
    static platform::WindowSystem* Platform();
    // The application installs its window system here for every control (null: none).
    static void SetPlatform(platform::WindowSystem* system);

    // Marks the control for repainting; Update paints what is marked now.
    void Invalidate();
    void Update();
    void Repaint();
    void Refresh() { Repaint(); }

    // What a click and a double-click do; the base raises OnClick and OnDblClick.
    virtual void Click();
    virtual void DblClick();

    TNotifyEvent OnClick;
    TNotifyEvent OnDblClick;

protected:
    // Paints the whole control; the canvas has its origin at the control's top-left corner. The
    // base fills the control with its colour.
    virtual void Paint(TCanvas& canvas);
    // A point inside the control was clicked (in its own coordinates).
    virtual void MouseClick(TPoint at);
    virtual void MouseDblClick(TPoint at);
    virtual void FontChanged();

    // Creates the window, inside the parent's; forms make top-level windows instead.
    virtual void CreateWnd();
    // Destroys the window (with the windows of any controls inside it).
    virtual void DestroyWnd();
    // The parent's window was destroyed together with this control's.
    virtual void WindowLost();
    platform::WindowEvents MakeEvents();
    void SetHandle(platform::WindowId handle) { m_Handle = handle; }
    // Whether the platform window should currently be visible.
    virtual bool WindowVisible() const { return m_Visible; }
    void SyncWindowVisible();

private:
    friend class TWinControl;

    int m_Left = 0;
    int m_Top = 0;
    int m_Width = 0;
    int m_Height = 0;
    bool m_Visible = true;
    TColor m_Color = clBtnFace;
    TFont m_Font;
    bool m_ParentFont = true;
    bool m_SettingParentFont = false;
    TWinControl* m_Parent = nullptr;
    platform::WindowId m_Handle = 0;
};

} // namespace ws
