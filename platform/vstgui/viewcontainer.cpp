#include "vstgui/vstgui.h"

CViewContainer::CViewContainer(const CRect& size, CFrame* parent, CBitmap* bitmap)
    : CView(size), background(nullptr) {
    frame = parent;
    setBackground(bitmap);
}

CViewContainer::~CViewContainer() {
    removeAll(true);
    if (background) background->forget();
}

void CViewContainer::setBackground(CBitmap* bitmap) {
    if (bitmap) bitmap->remember();
    if (background) background->forget();
    background = bitmap;
    setDirty(true);
}

bool CViewContainer::addView(CView* view) {
    if (!view || isChild(view)) return false;
    views.push_back(view);
    view->setParentView(this);
    view->attached(frame);
    view->setDirty(true);
    return true;
}

bool CViewContainer::removeView(CView* view, bool withForget) {
    for (auto it = views.begin(); it != views.end(); ++it) {
        if (*it != view) continue;
        views.erase(it);
        view->removed(frame);
        view->setParentView(nullptr);
        setDirty(true);
        if (withForget) view->forget();
        return true;
    }
    return false;
}

void CViewContainer::removeAll(bool withForget) {
    std::vector<CView*> held;
    held.swap(views);
    for (CView* view : held) {
        view->removed(frame);
        view->setParentView(nullptr);
        if (withForget) view->forget();
    }
    setDirty(true);
}

bool CViewContainer::isChild(CView* view) const {
    for (CView* v : views)
        if (v == view) return true;
    return false;
}

bool CViewContainer::isDirtyInside() const {
    if (isDirty()) return true;
    for (CView* v : views) {
        const CViewContainer* inner = dynamic_cast<const CViewContainer*>(v);
        if (v->isDirty() || (inner && inner->isDirtyInside())) return true;
    }
    return false;
}

void CViewContainer::attached(CFrame* newFrame) {
    CView::attached(newFrame);
    for (CView* v : views) v->attached(newFrame);
}

void CViewContainer::removed(CFrame* oldFrame) {
    for (CView* v : views) v->removed(oldFrame);
    CView::removed(oldFrame);
}

CView* CViewContainer::viewAt(const CPoint& where) const {
    for (auto it = views.rbegin(); it != views.rend(); ++it)
        if ((*it)->getMouseEnabled() && (*it)->getViewSize().pointInside(where)) return *it;
    return nullptr;
}

void CViewContainer::draw(CDrawContext* context) {
    drawBackgroundRect(context, CRect(0, 0, size.width(), size.height()));
    setDirty(false);
}

// Draws with the context moved to the container's corner, so that the views draw in the
// container's coordinates; the clip follows each view.
void CViewContainer::drawBackgroundRect(CDrawContext* context, const CRect& rect) {
    CPoint before = context->getOffset();
    CRect outerClip;
    context->getClipRect(outerClip);
    context->setOffset(CPoint(before.h + size.left, before.v + size.top));
    CRect local(rect);
    context->setClipRect(local);
    if (background) background->draw(context, local, CPoint(local.left, local.top));
    for (CView* view : views) {
        CRect clip = view->getViewSize();
        if (clip.right <= local.left || clip.left >= local.right || clip.bottom <= local.top || clip.top >= local.bottom)
            continue;
        context->setClipRect(clip);
        view->setDirty(false);
        view->draw(context);
    }
    context->setOffset(before);
    context->setClipRect(outerClip);
}

void CViewContainer::mouse(CDrawContext* context, CPoint& where, long buttons) {
    CPoint local(where.h - size.left, where.v - size.top);
    CView* view = viewAt(local);
    if (!view) return;
    CPoint before = context->getOffset();
    context->setOffset(CPoint(before.h + size.left, before.v + size.top));
    view->remember();
    view->mouse(context, local, buttons);
    view->forget();
    context->setOffset(before);
}

bool CViewContainer::onWheel(CDrawContext* context, const CPoint& where, float distance) {
    CPoint local(where.h - size.left, where.v - size.top);
    CView* view = viewAt(local);
    return view && view->onWheel(context, local, distance);
}

long CViewContainer::onKeyDown(VstKeyCode& keyCode) {
    for (auto it = views.rbegin(); it != views.rend(); ++it) {
        long taken = (*it)->onKeyDown(keyCode);
        if (taken != -1) return taken;
    }
    return -1;
}

long CViewContainer::onKeyUp(VstKeyCode& keyCode) {
    for (auto it = views.rbegin(); it != views.rend(); ++it) {
        long taken = (*it)->onKeyUp(keyCode);
        if (taken != -1) return taken;
    }
    return -1;
}
