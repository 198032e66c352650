#pragma once

// A top-level window of the program: a borderless pop-up owned by the application window, built
// from a stored description. Its window is created once the description is loaded and OnCreate
// has run; it stays hidden until the form is shown.

#include "base/EnumSet.h"
#include "ui/ControlScrollBar.h"
#include "ui/WinControl.h"

#include <string>

namespace ws {

enum class TFormBorderStyle { bsNone, bsSingle, bsSizeable, bsDialog, bsToolWindow, bsSizeToolWin };
enum class TBorderIcon { biSystemMenu, biMinimize, biMaximize, biHelp };
using TBorderIcons = TEnumSet<TBorderIcon>;
enum class TPosition {
    poDesigned,
    poDefault,
    poDefaultPosOnly,
    poDefaultSizeOnly,
    poScreenCenter,
    poDesktopCenter,
    poMainFormCenter,
    poOwnerFormCenter
};
enum class TFormStyle { fsNormal, fsMDIChild, fsMDIForm, fsStayOnTop };
enum class TWindowState { wsNormal, wsMinimized, wsMaximized };

class TCustomForm : public TWinControl {
public:
    WS_CLASS_INFO()

    explicit TCustomForm(TComponent* owner);
    ~TCustomForm() override;

    // The window's text; there is no caption bar to draw it in.
    const std::string& Caption() const { return m_Caption; }
    void SetCaption(const std::string& caption);
    TFormBorderStyle BorderStyle() const { return m_BorderStyle; }
    void SetBorderStyle(TFormBorderStyle style) { m_BorderStyle = style; }
    TBorderIcons BorderIcons() const { return m_BorderIcons; }
    void SetBorderIcons(TBorderIcons icons) { m_BorderIcons = icons; }
    TPosition Position() const { return m_Position; }
    void SetPosition(TPosition position) { m_Position = position; }
    // Our windows have no frame: the client area is the whole window.
    int ClientWidth() const { return Width(); }
    int ClientHeight() const { return Height(); }
    void SetClientWidth(int width) { SetWidth(width); }
    void SetClientHeight(int height) { SetHeight(height); }
    TControlScrollBar& HorzScrollBar() { return m_HorzScrollBar; }
    TControlScrollBar& VertScrollBar() { return m_VertScrollBar; }
    // The resolution the stored layout was designed at. Stored sizes are used as they are.
    int PixelsPerInch() const { return m_PixelsPerInch; }
    void SetPixelsPerInch(int ppi) { m_PixelsPerInch = ppi; }
    // Whether OnCreate ran before the descendant's own construction in the old scheme. Forms of
    // ours are built completely before OnCreate either way, so the value is only kept.
    bool OldCreateOrder() const { return m_OldCreateOrder; }
    void SetOldCreateOrder(bool old) { m_OldCreateOrder = old; }

    // Changing the style re-creates an existing window; a window is made top-most whenever it is
    // created with fsStayOnTop. Setting the style the form already has does nothing at all.
    TFormStyle FormStyle() const { return m_FormStyle; }
    void SetFormStyle(TFormStyle style);
    TWindowState WindowState() const { return m_WindowState; }
    void SetWindowState(TWindowState state);

    // Showing runs OnShow first (an error in it is reported and the window shown all the same),
    // then makes the window visible and brings it forward.
    void SetVisible(bool visible) override;
    // The main form ends the program; another form is hidden.
    void Close();

    void AfterConstruction() override;

    TNotifyEvent OnCreate;
    TNotifyEvent OnShow;

protected:
    void Paint(TCanvas& canvas) override;
    void CreateWnd() override;
    virtual void DoCreate();
    virtual void DoShow();

private:
    void PlaceWindow();

    std::string m_Caption;
    TFormBorderStyle m_BorderStyle = TFormBorderStyle::bsSizeable;
    TBorderIcons m_BorderIcons{TBorderIcon::biSystemMenu, TBorderIcon::biMinimize, TBorderIcon::biMaximize};
    TPosition m_Position = TPosition::poDesigned;
    TControlScrollBar m_HorzScrollBar;
    TControlScrollBar m_VertScrollBar;
    int m_PixelsPerInch = 96;
    bool m_OldCreateOrder = false;
    TFormStyle m_FormStyle = TFormStyle::fsNormal;
    TWindowState m_WindowState = TWindowState::wsNormal;
};

} // namespace ws
