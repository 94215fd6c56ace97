// The one view-library control that hosts the toolkit's tree: it owns the root panel,
// paints the tree through an offscreen image, turns the blocking mouse call into press,
// drag and release events and the editor's idle calls into hover events; and the
// process-wide cache of the library's bitmaps.
#pragma once

#include <cstdint>

#include "vstgui/vstgui.h"

class APanel;

// Milliseconds from the C runtime's clock; every toolkit timer reads it at idle.
int64_t nowMilliseconds();

class AFrame : public CControl, public CControlListener {
public:
    AFrame(const CRect& size, CControlListener* listener, long tag, int unused, const CPoint& origin,
           CFrame* hostFrame);
    ~AFrame() override;

    void draw(CDrawContext* context) override;
    void mouse(CDrawContext* context, CPoint& where, long buttons = -1) override;
    bool onWheel(CDrawContext* context, const CPoint& where, float distance) override;
    void setDirty(bool state = true) override { CControl::setDirty(state); }
    void mouseWithButtons(CDrawContext* context, CPoint& where);

    // From every editor idle, with the pointer in window coordinates.
    void idleAt(int x, int y);
    bool keyDown(int key);
    bool keyUp(int key);

    void valueChanged(CDrawContext* context, CControl* control) override {}
    long controlModifierClicked(CDrawContext* context, CControl* control, long button) override { return 1; }

    void setRoot(APanel* root);
    APanel* getRoot() const { return root; }
    void setHostFrame(CFrame* host) { hostFrame = host; }
    CFrame* getHostFrame() const { return hostFrame; }
    void setAutoScroll(bool on) { autoScroll = on; }
    void setScrollable(bool on) { scrollable = on; }
    void setViewHeight(int height);
    bool setWindowSize(int width, int height);
    void setScrollOffset(int y);
    int getScrollOffset() const { return scroll; }
    void getVisibleRect(CRect& out) const;
    int getOriginX() const { return origin.h + size.left; }
    int getOriginY() const { return origin.v + size.top; }

    // Pops the menu up at once through the host frame; its listener has heard the choice
    // when this returns. A menu still shown is taken away first (not released).
    void showOptionMenu(COptionMenu* menu);
    void hideOptionMenu(bool release);
    COptionMenu* getShownOptionMenu() const { return shownMenu; }

    // From the editor's close: the tree is marked detached and the offscreen dropped.
    void detach();

    bool hasOffscreen() const { return offscreen != nullptr; }
    bool inMouseLoop() const { return mouseLoop; }

private:
    CPoint rootPoint(const CPoint& where) const { return CPoint(where.h - size.left, scroll + where.v - size.top); }

    int scroll;
    bool autoScroll, scrollable;
    CFrame* hostFrame;
    CDrawContext* context;
    COptionMenu* shownMenu;
    APanel* root;
    COffscreenContext* offscreen;
    CPoint lastPointer;
    bool mouseLoop;
    CPoint origin;
    int visibleWidth, visibleHeight;
};

// One map from resource id to bitmap for the whole process; the bitmaps stay while any
// editor object exists.
namespace BitmapCache {
void addUser();
void removeUser();
void releaseAll();
CBitmap* get(int resourceId);
// As get; a bitmap created by this call is transparent on magenta.
CBitmap* getTransparent(int resourceId);
int userCount();
int size();
}  // namespace BitmapCache
