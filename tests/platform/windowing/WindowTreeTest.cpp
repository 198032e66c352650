#include "platform/HeadlessWindowSystem.h"
#include "platform/PixelCanvas.h"

#include <gtest/gtest.h>
#include <string>
#include <vector>

namespace ws::platform {
namespace {

constexpr Pixel Red = MakePixel(255, 0, 0);
constexpr Pixel Blue = MakePixel(0, 0, 255);
constexpr Pixel Green = MakePixel(0, 128, 0);

// A pop-up with children whose handlers record what happens to them.
class WindowTree : public ::testing::Test {
protected:
    WindowEvents Recording(const std::string& name, TColor fill) {
        WindowEvents events;
        events.paint = [this, name, fill](PixelCanvas& canvas, const Rect& dirty) {
            painted.push_back(name + " " + std::to_string(dirty.left) + "," + std::to_string(dirty.top) +
                              "," + std::to_string(dirty.right) + "," + std::to_string(dirty.bottom));
            // Deliberately far beyond the window: the clip must hold it in.
            canvas.FillRect(Rect{-1000, -1000, 5000, 5000}, fill);
        };
        events.click = [this, name](Point p) { input.push_back(name + " click " + Str(p)); };
        events.doubleClick = [this, name](Point p) { input.push_back(name + " dblclick " + Str(p)); };
        events.focusEnter = [this, name] { input.push_back(name + " enter"); };
        events.focusLeave = [this, name] { input.push_back(name + " leave"); };
        return events;
    }
    static std::string Str(Point p) { return std::to_string(p.x) + "," + std::to_string(p.y); }

    HeadlessWindowSystem ws;
    std::vector<std::string> painted;
    std::vector<std::string> input;
};

TEST_F(WindowTree, ChildrenPaintAfterTheirParentEachClippedToItself) {
    const WindowId top = ws.CreatePopup(Rect{0, 0, 100, 80}, Recording("top", clRed));
    const WindowId panel = ws.CreateChild(top, Rect{10, 10, 60, 50}, Recording("panel", clBlue));
    // Reaches past the panel's right edge: only the part inside the panel shows.
    const WindowId inner = ws.CreateChild(panel, Rect{40, 5, 90, 15}, Recording("inner", clGreen));
    for (WindowId w : {top, panel, inner})
        ws.SetVisible(w, true);
    ws.ProcessMessages();

    EXPECT_EQ(painted, (std::vector<std::string>{"top 0,0,100,80", "panel 0,0,50,40", "inner 0,0,10,10"}));
    const Image& image = ws.WindowImage(top);
    EXPECT_EQ(image.At(5, 5), Red);
    EXPECT_EQ(image.At(10, 10), Blue);
    EXPECT_EQ(image.At(59, 49), Blue);
    EXPECT_EQ(image.At(50, 15), Green); // inner at panel (40,5) = top (50,15)
    EXPECT_EQ(image.At(59, 24), Green);
    EXPECT_EQ(image.At(60, 15), Red); // beyond the panel
    EXPECT_EQ(image.At(50, 25), Blue);
    EXPECT_EQ(ws.PresentCount(top), 1);
}

TEST_F(WindowTree, OnlyTheInvalidPartIsRepaintedAndHidingAChildUncoversItsParent) {
    const WindowId top = ws.CreatePopup(Rect{0, 0, 100, 80}, Recording("top", clRed));
    const WindowId left = ws.CreateChild(top, Rect{0, 0, 50, 80}, Recording("left", clBlue));
    const WindowId right = ws.CreateChild(top, Rect{50, 0, 100, 80}, Recording("right", clGreen));
    for (WindowId w : {top, left, right})
        ws.SetVisible(w, true);
    ws.ProcessMessages();
    painted.clear();

    ws.Invalidate(right, Rect{10, 10, 20, 20});
    ws.Invalidate(right, Rect{30, 30, 40, 40});
    ws.ProcessMessages();
    // One pass over the union, in the parent's and the child's coordinates; 'left' lies outside.
    EXPECT_EQ(painted, (std::vector<std::string>{"top 60,10,90,40", "right 10,10,40,40"}));

    painted.clear();
    ws.SetVisible(left, false);
    ws.ProcessMessages();
    EXPECT_EQ(painted, (std::vector<std::string>{"top 0,0,50,80"}));
    EXPECT_EQ(ws.WindowImage(top).At(25, 40), Red);

    // Update paints at once, without the loop.
    painted.clear();
    ws.SetBounds(right, Rect{60, 0, 100, 80});
    ws.Update(right);
    EXPECT_EQ(painted, (std::vector<std::string>{"top 50,0,100,80", "right 0,0,40,80"}));
    EXPECT_EQ(ws.WindowImage(top).At(55, 40), Red);
}

TEST_F(WindowTree, ClicksGoToTheTopMostVisibleChildUnderThePoint) {
    const WindowId top = ws.CreatePopup(Rect{100, 100, 300, 300}, Recording("top", clRed));
    const WindowId a = ws.CreateChild(top, Rect{0, 0, 100, 100}, Recording("a", clBlue));
    const WindowId b = ws.CreateChild(top, Rect{50, 50, 150, 150}, Recording("b", clGreen));
    const WindowId inB = ws.CreateChild(b, Rect{10, 10, 20, 20}, Recording("inB", clGreen));
    for (WindowId w : {top, a, b, inB})
        ws.SetVisible(w, true);

    ws.Click(top, Point{55, 55});  // a and b overlap: b was created later, so it is above
    ws.Click(top, Point{65, 65});  // inside b's child
    ws.Click(top, Point{10, 10});  // a alone
    ws.Click(top, Point{190, 10}); // no child: the window itself
    ws.BringToFront(a);
    ws.Click(top, Point{60, 60});
    ws.SetVisible(a, false);
    ws.Click(top, Point{55, 55});
    ws.DoubleClick(top, Point{199, 199});

    EXPECT_EQ(input, (std::vector<std::string>{"b click 5,5", "inB click 5,5", "a click 10,10",
                                               "top click 190,10", "a click 60,60", "b click 5,5",
                                               "top click 199,199", "top dblclick 199,199"}));
    Point local;
    EXPECT_EQ(ws.HitTest(top, Point{149, 149}, &local), b);
    EXPECT_EQ(local, (Point{99, 99}));
}

TEST_F(WindowTree, AWindowMayDestroyItselfFromItsOwnHandler) {
    const WindowId top = ws.CreatePopup(Rect{0, 0, 50, 50}, {});
    WindowEvents events = Recording("child", clBlue);
    WindowId child = 0;
    events.click = [&](Point) { ws.Destroy(child); };
    child = ws.CreateChild(top, Rect{0, 0, 50, 50}, events);
    ws.SetVisible(top, true);
    ws.SetVisible(child, true);
    ws.SetFocus(child);
    ws.Click(top, Point{1, 1});
    EXPECT_FALSE(ws.Exists(child));
    EXPECT_EQ(ws.Focus(), 0u);
    EXPECT_TRUE(ws.Children(top).empty());
    ws.Destroy(top);
    EXPECT_FALSE(ws.Exists(top));
}

TEST_F(WindowTree, FocusMovesWithEnterAndLeaveAndFollowsActivation) {
    const WindowId top = ws.CreatePopup(Rect{0, 0, 100, 100}, Recording("top", clRed));
    const WindowId one = ws.CreateChild(top, Rect{0, 0, 10, 10}, Recording("one", clRed));
    const WindowId two = ws.CreateChild(top, Rect{10, 0, 20, 10}, Recording("two", clRed));
    ws.SetVisible(top, true);
    ws.SetFocus(one);
    ws.SetFocus(two);
    ws.SetFocus(two);
    ws.Activate(top, false); // another program becomes active
    ws.Activate(top, true);  // and we come back: the control that had the focus gets it again
    EXPECT_EQ(input,
              (std::vector<std::string>{"one enter", "one leave", "two enter", "two leave", "two enter"}));
    EXPECT_EQ(ws.Focus(), two);
}

TEST_F(WindowTree, MinimisingTheProgramHidesItsWindowsAndRestoringBringsThemBack) {
    int minimized = 0;
    int restored = 0;
    ws.SetApplicationEvents({[&] { ++minimized; }, [&] { ++restored; }, nullptr, nullptr});
    const WindowId app = ws.CreateApplicationWindow("Program");
    const WindowId main = ws.CreatePopup(Rect{0, 0, 100, 100}, Recording("main", clRed), "Main");
    const WindowId edit = ws.CreateChild(main, Rect{0, 0, 10, 10}, Recording("edit", clRed));
    const WindowId later = ws.CreatePopup(Rect{0, 0, 10, 10}, Recording("later", clRed));
    ws.SetVisible(edit, true);
    ws.SetTopMost(main, true);
    ws.SetVisible(main, true);
    ws.SetFocus(edit);
    ws.ProcessMessages();

    ws.UserMinimize();
    EXPECT_TRUE(ws.IsApplicationMinimized());
    EXPECT_FALSE(ws.IsShowing(main));
    EXPECT_TRUE(ws.IsVisible(main));
    EXPECT_TRUE(ws.ScreenOrder().empty());
    ws.SetVisible(later, true); // shown while minimised: it appears with the others on restore
    EXPECT_TRUE(ws.ScreenOrder().empty());
    ws.Click(main, Point{1, 1}); // nothing to click on
    const int presents = ws.PresentCount(main);

    ws.RestoreApplication();
    ws.ProcessMessages();
    EXPECT_FALSE(ws.IsApplicationMinimized());
    EXPECT_EQ(ws.ScreenOrder(), (std::vector<WindowId>{later, main})); // main is top-most
    EXPECT_TRUE(ws.IsInTopMostLayer(main));
    EXPECT_EQ(ws.Focus(), edit);
    EXPECT_GT(ws.PresentCount(main), presents); // painted again when shown again
    EXPECT_FALSE(ws.IsShowing(app));
    EXPECT_EQ(minimized, 1);
    EXPECT_EQ(restored, 1);
    EXPECT_EQ(input, (std::vector<std::string>{"edit enter", "edit leave", "edit enter"}));
}

} // namespace
} // namespace ws::platform
