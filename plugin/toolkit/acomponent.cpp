#include "toolkit/acomponent.h"

#include <algorithm>

#include "toolkit/aframe.h"

// ---------------------------------------------------------------- rectangles

void intersectRect(CRect& out, const CRect& a, const CRect& b) {
    if (a.isEmpty() || b.isEmpty()) {
        out = kNoRect;
        return;
    }
    out = CRect(std::max(a.left, b.left), std::max(a.top, b.top), std::min(a.right, b.right),
                std::min(a.bottom, b.bottom));
}

void unionRect(CRect& inOut, const CRect& other) {
    if (other.isEmpty()) return;
    if (inOut.isEmpty()) {
        inOut = other;
        return;
    }
    inOut = CRect(std::min(inOut.left, other.left), std::min(inOut.top, other.top), std::max(inOut.right, other.right),
                  std::max(inOut.bottom, other.bottom));
}

CRect rectFromCorners(long x1, long y1, long x2, long y2) {
    return CRect(std::min(x1, x2), std::min(y1, y2), std::max(x1, x2), std::max(y1, y2));
}

namespace {
// Edges that touch count as meeting.
bool meets(const CRect& a, const CRect& b) {
    return a.left <= b.right && b.left <= a.right && a.top <= b.bottom && b.top <= a.bottom;
}
}  // namespace

// ---------------------------------------------------------------- AComponent

AComponent::AComponent()
    : x(0), y(0), width(0), height(0), tag(0), parent(nullptr), clean(false), enabled(true), attached(true) {}

AComponent::~AComponent() {}

void AComponent::setBounds(int nx, int ny, int w, int h) {
    x = nx;
    y = ny;
    width = w;
    height = h;
}

void AComponent::setPosition(int nx, int ny) {
    x = nx;
    y = ny;
}

bool AComponent::contains(int px, int py) { return x <= px && px < x + width && y <= py && py < y + height; }

APanel* AComponent::getParentPanel() const { return parent ? parent->asPanel() : nullptr; }

AFrame* AComponent::getFrame() {
    APanel* panel = getParentPanel();
    return panel ? panel->getFrame() : nullptr;
}

int AComponent::getAbsoluteX(bool withFrameOrigin) {
    APanel* panel = getParentPanel();
    return panel ? panel->getAbsoluteX(withFrameOrigin) + x : 0;
}

int AComponent::getAbsoluteY(bool withFrameOrigin) {
    APanel* panel = getParentPanel();
    return panel ? panel->getAbsoluteY(withFrameOrigin) + y : 0;
}

void AComponent::drawClipped(CDrawContext* context, int px, int py, const CRect& clip) { draw(context, px, py); }

void AComponent::drawIfDirty(CDrawContext* context, int px, int py, CRect& drawn) {
    if (clean) {
        drawn = kNoRect;
        return;
    }
    clean = true;
    draw(context, px, py);
    drawn = CRect(px, py, px + width, py + height);
}

bool AComponent::isClean() { return clean; }
void AComponent::idle() {}
void AComponent::mouseEnter() {}
void AComponent::mouseLeave() {}
bool AComponent::mouseMove(int, int) { return false; }
bool AComponent::mouseDrag(int, int) { return false; }
bool AComponent::mouseDown(int, int, int) { return false; }
bool AComponent::mouseUp(int, int) { return false; }
bool AComponent::hoverEnd() { return false; }
bool AComponent::wheel(int, int, float) { return false; }
bool AComponent::keyDown(int) { return false; }
bool AComponent::keyUp(int) { return false; }
AComponent* AComponent::componentAt(int, int) { return this; }
void AComponent::broadcast(int, int) {}
int AComponent::reserved(int, int, int) { return 0; }

void AComponent::setEnabled(bool state) {
    if (enabled == state) return;
    enabled = state;
    invalidate();
}

void AComponent::setAttached(bool state) {
    if (attached == state) return;
    attached = state;
    invalidate();
}

// ---------------------------------------------------------------- AContainer

AContainer::AContainer() : changed(false) {}

AContainer::~AContainer() {}

void AContainer::add(AComponent* child) {
    if (!child) return;
    list.push_back(child);
    child->setParent(this);
    invalidateChild(child);
    changed = true;
}

void AContainer::remove(AComponent* child) {
    auto it = std::find(list.begin(), list.end(), child);
    if (it == list.end()) return;
    child->setParent(nullptr);
    list.erase(it);
    changed = true;
}

bool AContainer::contains(AComponent* child) const { return std::find(list.begin(), list.end(), child) != list.end(); }

void AContainer::destroyAll() {
    std::vector<AComponent*> held;
    held.swap(list);
    for (AComponent* child : held) {
        child->setParent(nullptr);
        delete child;
    }
    changed = true;
}

// ---------------------------------------------------------------- APanel

APanel::APanel(InstrumentInterface* instrument, GuiInterface* gui)
    : openedWindow(nullptr), mouseTarget(nullptr), hoverChild(nullptr), frame(nullptr), gui(gui),
      instrument(instrument), pendingDirty(kNoRect) {}

APanel::~APanel() {}

AFrame* APanel::getFrame() {
    if (frame) return frame;
    return AComponent::getFrame();
}

int APanel::getAbsoluteX(bool withFrameOrigin) {
    if (frame) return x + (withFrameOrigin ? frame->getOriginX() : 0);
    return AComponent::getAbsoluteX(withFrameOrigin);
}

int APanel::getAbsoluteY(bool withFrameOrigin) {
    if (frame) return y + (withFrameOrigin ? frame->getOriginY() - frame->getScrollOffset() : 0);
    return AComponent::getAbsoluteY(withFrameOrigin);
}

void APanel::invalidateChild(AComponent* child) {
    if (child) child->setClean(false);
}

void APanel::drawBackground(CDrawContext* context, const CRect& rect, const CPoint& offset, int alpha) {
    APanel* panel = getParentPanel();
    if (panel) panel->drawBackground(context, rect, CPoint(offset.h + x, offset.v + y), alpha);
}

void APanel::drawForeground(CDrawContext*, const CRect&, const CPoint&, int) {}

void APanel::drawOpenWindow(CDrawContext* context, int px, int py, CRect& drawn) {
    if (!openedWindow) return;
    AWindow* w = openedWindow;
    w->draw(context, px + w->getX(), py + w->getY());
    unionRect(drawn, w->bounds());
}

void APanel::draw(CDrawContext* context, int px, int py) {
    CRect rect(px, py, px + width, py + height);
    drawBackground(context, rect, CPoint(0, 0), 255);
    drawChildren(context, px, py);
    drawForeground(context, rect, CPoint(0, 0), 255);
}

void APanel::drawChildren(CDrawContext* context, int px, int py) {
    for (AComponent* child : list) {
        context->setClipRect(CRect(px + child->getX(), py + child->getY(), px + child->getX() + child->getWidth(),
                                   py + child->getY() + child->getHeight()));
        child->draw(context, px + child->getX(), py + child->getY());
        context->setClipRect(CRect(0, 0, width, height));
    }
}

void APanel::drawClipped(CDrawContext* context, int px, int py, const CRect& clip) {
    context->setClipRect(clip);
    CPoint offset(clip.left - px, clip.top - py);
    drawBackground(context, clip, offset, 255);
    for (AComponent* child : list) {
        CRect childRect(px + child->getX(), py + child->getY(), px + child->getX() + child->getWidth(),
                        py + child->getY() + child->getHeight());
        CRect r;
        intersectRect(r, clip, childRect);
        if (r.isEmpty()) continue;
        context->setClipRect(r);
        child->drawClipped(context, childRect.left, childRect.top, r);
        context->setClipRect(clip);
    }
    drawForeground(context, clip, offset, 255);
}

void APanel::drawIfDirty(CDrawContext* context, int px, int py, CRect& drawn) {
    if (!clean) {
        clean = true;
        draw(context, px, py);
        drawn = CRect(px, py, px + width, py + height);
        return;
    }
    if (!pendingDirty.isEmpty()) {
        CRect area = pendingDirty;
        area.offset(px, py);
        drawClipped(context, px, py, area);
        pendingDirty = kNoRect;
        drawn = kNoRect;
        return;
    }
    drawn = kNoRect;
    for (AComponent* child : list) {
        CRect childRect(px + child->getX(), py + child->getY(), px + child->getX() + child->getWidth(),
                        py + child->getY() + child->getHeight());
        context->setClipRect(childRect);
        CRect childDrawn;
        if (!drawn.isEmpty() && meets(childRect, drawn)) {
            // A lower child repainted in this pass has painted over it.
            child->setClean(true);
            child->draw(context, childRect.left, childRect.top);
            childDrawn = childRect;
        } else {
            child->drawIfDirty(context, childRect.left, childRect.top, childDrawn);
        }
        context->setClipRect(CRect(0, 0, width, height));
        unionRect(drawn, childDrawn);
    }
    drawForeground(context, drawn, CPoint(drawn.left - px, drawn.top - py), 255);
}

bool APanel::isClean() {
    if (!clean) return false;
    for (AComponent* child : list)
        if (!child->isClean()) return false;
    if (openedWindow && !openedWindow->isClean()) return false;
    return true;
}

void APanel::idle() {
    if (openedWindow) openedWindow->idle();
    changed = false;
    // By index: a child that adds or removes children ends the pass.
    for (size_t i = 0; i < list.size() && !changed; i++) list[i]->idle();
}

void APanel::setMouseTarget(AComponent* target) {
    if (target == mouseTarget) return;
    AComponent* previous = mouseTarget;
    mouseTarget = target;
    if (target) target->mouseEnter();
    if (previous) previous->mouseLeave();
}

void APanel::mouseLeave() {
    AComponent* target = mouseTarget;
    mouseTarget = nullptr;
    if (target) target->mouseLeave();
}

bool APanel::mouseMove(int px, int py) {
    if (openedWindow && openedWindow->contains(px, py)) {
        setMouseTarget(openedWindow);
        return openedWindow->mouseMove(px - openedWindow->getX(), py - openedWindow->getY());
    }
    for (size_t i = list.size(); i-- > 0;) {
        AComponent* child = list[i];
        if (!child->contains(px, py) || !child->mouseMove(px - child->getX(), py - child->getY())) continue;
        if (hoverChild && hoverChild != child) hoverChild->hoverEnd();
        hoverChild = child;
        return true;
    }
    if (hoverChild) {
        AComponent* ended = hoverChild;
        hoverChild = nullptr;
        ended->hoverEnd();
    }
    return false;
}

bool APanel::mouseDown(int px, int py, int buttons) {
    if (openedWindow && openedWindow->contains(px, py)) {
        setMouseTarget(openedWindow);
        openedWindow->mouseDown(px - openedWindow->getX(), py - openedWindow->getY(), buttons);
        return true;
    }
    if (openedWindow && !openedWindow->keepsOpenOnOutsideClick()) closeWindow(nullptr);
    for (size_t i = list.size(); i-- > 0;) {
        if (i >= list.size()) continue;  // a handler removed children
        AComponent* child = list[i];
        if (!child->contains(px, py)) continue;
        setMouseTarget(child);
        if (child->mouseDown(px - child->getX(), py - child->getY(), buttons)) return true;
    }
    mouseLeave();
    return false;
}

bool APanel::mouseDrag(int px, int py) {
    if (!mouseTarget) return false;
    return mouseTarget->mouseDrag(px - mouseTarget->getX(), py - mouseTarget->getY());
}

bool APanel::mouseUp(int px, int py) {
    if (!mouseTarget) return false;
    mouseTarget->mouseUp(px - mouseTarget->getX(), py - mouseTarget->getY());
    return true;
}

bool APanel::hoverEnd() {
    AComponent* ended = hoverChild;
    hoverChild = nullptr;
    if (ended) ended->hoverEnd();
    return true;
}

bool APanel::wheel(int px, int py, float distance) {
    if (openedWindow && openedWindow->contains(px, py)) {
        setMouseTarget(openedWindow);
        return openedWindow->wheel(px - openedWindow->getX(), py - openedWindow->getY(), distance);
    }
    if (openedWindow) closeWindow(nullptr);
    for (size_t i = list.size(); i-- > 0;) {
        AComponent* child = list[i];
        if (!child->contains(px, py)) continue;
        setMouseTarget(child);
        return child->wheel(px - child->getX(), py - child->getY(), distance);
    }
    mouseLeave();
    return true;
}

bool APanel::keyDown(int key) {
    for (size_t i = 0; i < list.size(); i++)
        if (list[i]->keyDown(key)) return true;
    return false;
}

bool APanel::keyUp(int key) {
    for (size_t i = 0; i < list.size(); i++)
        if (list[i]->keyUp(key)) return true;
    return false;
}

AComponent* APanel::componentAt(int px, int py) {
    for (AComponent* child : list)
        if (child->contains(px, py)) return child->componentAt(px - child->getX(), py - child->getY());
    return this;
}

void APanel::broadcast(int a, int b) {
    for (AComponent* child : list) child->broadcast(a, b);
}

void APanel::setAttached(bool state) {
    for (AComponent* child : list) child->setAttached(state);
}

void APanel::remove(AComponent* child) {
    if (!child || child->getParent() != this || !AContainer::contains(child)) return;
    if (mouseTarget == child) mouseTarget = nullptr;
    if (hoverChild == child) hoverChild = nullptr;
    // Added to what waits: several children removed before a draw all leave their area.
    unionRect(pendingDirty, child->bounds());
    AContainer::remove(child);
}

void APanel::setFrame(AFrame* f) { frame = f; }

AWindow* APanel::getOpenWindow() {
    if (openedWindow) return openedWindow;
    APanel* panel = getParentPanel();
    return panel ? panel->getOpenWindow() : nullptr;
}

void APanel::setAutoScroll(bool on) {
    APanel* panel = getParentPanel();
    if (panel)
        panel->setAutoScroll(on);
    else if (frame)
        frame->setAutoScroll(on);
}

bool APanel::openWindow(AWindow* window) {
    if (!window) return false;
    APanel* panel = getParentPanel();
    if (panel) {
        window->setPosition(window->getX() + x, window->getY() + y);
        return panel->openWindow(window);
    }
    if (openedWindow == window) return true;
    if (openedWindow) {
        if (!openedWindow->keepsOpenOnOutsideClick() && window->keepsOpenOnOutsideClick()) return false;
        closeWindow(nullptr);
    }
    if (frame) {
        CRect v;
        frame->getVisibleRect(v);
        int wx = window->getX(), wy = window->getY();
        int w = window->getWidth(), h = window->getHeight();
        if (v.right < wx + w) wx = v.right - w;
        if (wx < v.left) wx = v.left;
        if (v.bottom - 30 < wy + h) wy = v.bottom - h - 30;
        if (wy < v.top) wy = v.top;
        window->setPosition(wx, wy);
    }
    window->onOpen();
    window->setParent(this);
    openedWindow = window;
    return true;
}

void APanel::closeWindow(AWindow* window) {
    APanel* panel = getParentPanel();
    if (panel) {
        panel->closeWindow(window);
        return;
    }
    if (!openedWindow || (window && window != openedWindow)) return;
    AWindow* closing = openedWindow;
    closing->onClose();
    if (mouseTarget == closing) mouseTarget = nullptr;
    if (frame) frame->setDirty(true);
    unionRect(pendingDirty, closing->bounds());
    openedWindow = nullptr;
}

// ---------------------------------------------------------------- AWindow

AWindow::AWindow() : APanel(nullptr, nullptr) {}

AWindow::AWindow(InstrumentInterface* instrument, GuiInterface* gui) : APanel(instrument, gui) {}

bool AWindow::mouseMove(int px, int py) {
    APanel::mouseMove(px, py);
    return true;
}

bool AWindow::mouseDrag(int px, int py) {
    APanel::mouseDrag(px, py);
    return true;
}

bool AWindow::mouseDown(int px, int py, int buttons) {
    APanel::mouseDown(px, py, buttons);
    return true;
}

bool AWindow::mouseUp(int px, int py) {
    APanel::mouseUp(px, py);
    return true;
}

namespace {
std::vector<AWindow*>& closedWindows() {
    static std::vector<AWindow*> queue;
    return queue;
}
}  // namespace

void deleteWindowLater(AWindow* window) {
    if (!window) return;
    for (AWindow* queued : closedWindows())
        if (queued == window) return;
    closedWindows().push_back(window);
}

void deleteClosedWindows() {
    std::vector<AWindow*> doomed;
    doomed.swap(closedWindows());
    for (AWindow* window : doomed) delete window;
}

int pendingWindowDeletions() { return (int)closedWindows().size(); }

void drawParentBackground(AComponent* component, CDrawContext* context, int x, int y, const CRect& rect, int alpha) {
    APanel* panel = component->getParentPanel();
    if (!panel) return;
    panel->drawBackground(context, rect,
                          CPoint(component->getX() + rect.left - x, component->getY() + rect.top - y), alpha);
}
