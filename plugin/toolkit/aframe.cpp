#include "toolkit/aframe.h"

#include <sys/timeb.h>

#include <map>

#include "toolkit/acomponent.h"

int64_t nowMilliseconds() {
    struct _timeb now;
    _ftime(&now);
    return (int64_t)now.time * 1000 + now.millitm;
}

AFrame::AFrame(const CRect& size, CControlListener* listener, long tag, int, const CPoint& origin, CFrame* hostFrame)
    : CControl(size, listener, tag, nullptr), scroll(0), autoScroll(false), scrollable(false), hostFrame(hostFrame),
      context(nullptr), shownMenu(nullptr), root(nullptr), offscreen(nullptr), lastPointer(0, 0), mouseLoop(false), origin(origin),
      visibleWidth(size.width()), visibleHeight(size.height()) {}

AFrame::~AFrame() {
    hideOptionMenu(false);
    // Windows that delete themselves once closed go now, before the tree they lie over.
    if (root) root->closeWindow(nullptr);
    deleteClosedWindows();
    delete root;
    delete offscreen;
}

void AFrame::setRoot(APanel* panel) {
    root = panel;
    if (root) root->setFrame(this);
}

void AFrame::draw(CDrawContext* target) {
    if (!root) return;
    if (!offscreen) {
        offscreen = new COffscreenContext(hostFrame, root->getWidth(), root->getHeight(), kBlackCColor);
        root->invalidate();
    }
    context = target;
    CRect drawn;
    root->drawIfDirty(offscreen, 0, 0, drawn);
    root->drawOpenWindow(offscreen, 0, 0, drawn);
    offscreen->copyFrom(target,
                        CRect(size.left - origin.h, size.top - origin.v, size.right - origin.h, size.bottom - origin.v),
                        CPoint(0, scroll));
    offscreen->resetClipRect();
}

void AFrame::mouse(CDrawContext* target, CPoint& where, long buttons) {
    if (!root) return;
    context = target;
    CPoint at = rootPoint(where);
    // Set before the press is handled: a handler that runs the editor's idle (an option
    // menu does) must not see hover events or have closed windows deleted under it.
    mouseLoop = true;
    bool pressTaken = root->mouseDown(at.h, at.v, (int)buttons);
    long startButtons = target->getMouseButtons();
    CPoint last = where;
    if (startButtons & (kLButton | kRButton)) {
        int startScroll = scroll;
        CPoint start = where;
        do {
            CPoint now;
            target->getMouseLocation(now);
            if (now != last && buttons == startButtons) {
                last = now;
                CPoint p = rootPoint(now);
                bool dragTaken = root->mouseDrag(p.h, p.v);
                if (!pressTaken && !dragTaken && scrollable) setScrollOffset(startScroll + start.v - now.v);
                if (autoScroll && scrollable) {
                    if (now.v < 20) setScrollOffset(scroll - 10);
                    else if (size.bottom - now.v < 20) setScrollOffset(scroll + 10);
                }
            }
            if (hostFrame) hostFrame->doIdleStuff();
            // A host that closed the editor inside the loop has detached the tree.
            if (!root || !hostFrame || !hostFrame->isOpen()) break;
        } while (target->getMouseButtons() == startButtons);
    }
    if (root) {
        CPoint p = rootPoint(last);
        root->mouseUp(p.h, p.v);
    }
    mouseLoop = false;
}

void AFrame::mouseWithButtons(CDrawContext* target, CPoint& where) { mouse(target, where, target->getMouseButtons()); }

bool AFrame::onWheel(CDrawContext* target, const CPoint& where, float distance) {
    if (!root) return false;
    context = target;
    if (scrollable) setScrollOffset(scroll - (int)(distance * 30));
    return true;
}

void AFrame::idleAt(int x, int y) {
    if (!root) return;
    CPoint now(x, y);
    if (now != lastPointer && !mouseLoop) {
        CPoint p = rootPoint(now);
        root->mouseMove(p.h, p.v);
    }
    lastPointer = now;
    // Windows that closed from their own handlers are deleted here, never inside them.
    if (!mouseLoop) deleteClosedWindows();
    root->idle();
    if (!root->isClean()) redraw();
}

bool AFrame::keyDown(int key) { return root && root->keyDown(key); }

bool AFrame::keyUp(int key) { return root && root->keyUp(key); }

void AFrame::setViewHeight(int height) { size.bottom = size.top + height; }

bool AFrame::setWindowSize(int width, int height) {
    if (hostFrame) hostFrame->setSize(width, height);
    visibleWidth = width;
    visibleHeight = height;
    if (scrollable) setScrollOffset(scroll);
    return true;
}

void AFrame::setScrollOffset(int y) {
    if (!root) return;
    int highest = root->getHeight() - visibleHeight;
    if (y > highest) y = highest;
    if (y < 0) y = 0;
    scroll = y;
    redraw();
}

void AFrame::getVisibleRect(CRect& out) const {
    out = CRect(size.left, size.top + scroll, size.right, size.bottom + scroll);
}

void AFrame::showOptionMenu(COptionMenu* menu) {
    if (!menu) return;
    hideOptionMenu(false);
    shownMenu = menu;
    if (hostFrame) {
        hostFrame->addView(menu);
        // The frame holds what it is given; the menu's owner keeps its own hold.
        menu->remember();
    }
    CPoint where(0, scroll);
    menu->mouse(context, where, -1);
}

void AFrame::hideOptionMenu(bool release) {
    if (!shownMenu) return;
    COptionMenu* menu = shownMenu;
    shownMenu = nullptr;
    if (hostFrame && hostFrame->isChild(menu)) hostFrame->removeView(menu, true);
    if (release) menu->forget();
}

void AFrame::detach() {
    hideOptionMenu(false);
    if (root) root->setAttached(false);
    delete offscreen;
    offscreen = nullptr;
    context = nullptr;
}

// ---------------------------------------------------------------- BitmapCache

namespace {
std::map<int, CBitmap*>& bitmaps() {
    static std::map<int, CBitmap*> cache;
    return cache;
}
int users = 0;

CBitmap* load(int resourceId, bool transparent) {
    auto found = bitmaps().find(resourceId);
    if (found != bitmaps().end()) return found->second;
    CBitmap* bitmap = new CBitmap(resourceId);
    if (transparent) bitmap->setTransparentColor(kMagentaCColor);
    bitmaps()[resourceId] = bitmap;
    return bitmap;
}
}  // namespace

namespace BitmapCache {
void addUser() { users++; }

void removeUser() {
    if (users-- != 1) return;
    releaseAll();
    // The editor's offscreen images wait for the next open as long as an editor object is
    // there to open; with the last one they go like the bitmaps.
    COffscreenContext::releaseSpareImages();
}

void releaseAll() {
    for (auto& entry : bitmaps()) entry.second->forget();
    bitmaps().clear();
}

CBitmap* get(int resourceId) { return load(resourceId, false); }
CBitmap* getTransparent(int resourceId) { return load(resourceId, true); }
int userCount() { return users; }
int size() { return (int)bitmaps().size(); }
}  // namespace BitmapCache
