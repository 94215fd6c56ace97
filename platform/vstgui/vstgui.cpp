#include "vstgui/vstgui.h"

#include "vstgui/aeffguieditor.h"

// ---------------------------------------------------------------- CBitmap

HINSTANCE CBitmap::resourceModule() {
    HMODULE module = nullptr;
    GetModuleHandleExA(GET_MODULE_HANDLE_EX_FLAG_FROM_ADDRESS | GET_MODULE_HANDLE_EX_FLAG_UNCHANGED_REFCOUNT,
                       (LPCSTR)&CBitmap::resourceModule, &module);
    return (HINSTANCE)module;
}

CBitmap::CBitmap(long resourceId)
    : resourceId(resourceId), bitmap(nullptr), width(0), height(0), transparentColor(kBlackCColor),
      transparent(false) {
    bitmap = (HBITMAP)LoadImageA(resourceModule(), MAKEINTRESOURCEA(resourceId), IMAGE_BITMAP, 0, 0,
                                 LR_CREATEDIBSECTION);
    if (bitmap) {
        BITMAP info;
        if (GetObjectA(bitmap, sizeof info, &info)) {
            width = info.bmWidth;
            height = info.bmHeight < 0 ? -info.bmHeight : info.bmHeight;
        }
    }
}

CBitmap::~CBitmap() {
    if (bitmap) DeleteObject(bitmap);
}

void CBitmap::setTransparentColor(const CColor color) {
    transparentColor = color;
    transparent = true;
}

// The destination rectangle, cut so that the source stays inside the bitmap.
bool CBitmap::sourceRect(const CRect& rect, const CPoint& offset, RECT& dest, POINT& source) const {
    if (!bitmap || rect.isEmpty()) return false;
    long sx = offset.h, sy = offset.v;
    long w = rect.width(), h = rect.height();
    long dx = rect.left, dy = rect.top;
    if (sx < 0) {
        dx -= sx;
        w += sx;
        sx = 0;
    }
    if (sy < 0) {
        dy -= sy;
        h += sy;
        sy = 0;
    }
    if (sx + w > width) w = width - sx;
    if (sy + h > height) h = height - sy;
    if (w <= 0 || h <= 0) return false;
    dest = {dx, dy, dx + w, dy + h};
    source = {sx, sy};
    return true;
}

void CBitmap::draw(CDrawContext* context, const CRect& rect, const CPoint& offset) {
    RECT d;
    POINT s;
    if (!context || !sourceRect(rect, offset, d, s)) return;
    HDC dc = context->getSystemContext();
    HDC memory = CreateCompatibleDC(dc);
    HGDIOBJ old = SelectObject(memory, bitmap);
    BitBlt(dc, d.left, d.top, d.right - d.left, d.bottom - d.top, memory, s.x, s.y, SRCCOPY);
    SelectObject(memory, old);
    DeleteDC(memory);
}

void CBitmap::drawTransparent(CDrawContext* context, const CRect& rect, const CPoint& offset) {
    RECT d;
    POINT s;
    if (!context || !sourceRect(rect, offset, d, s)) return;
    HDC dc = context->getSystemContext();
    HDC memory = CreateCompatibleDC(dc);
    HGDIOBJ old = SelectObject(memory, bitmap);
    long w = d.right - d.left, h = d.bottom - d.top;
    TransparentBlt(dc, d.left, d.top, w, h, memory, s.x, s.y, w, h, transparentColor.ref());
    SelectObject(memory, old);
    DeleteDC(memory);
}

void CBitmap::drawAlphaBlend(CDrawContext* context, const CRect& rect, const CPoint& offset, unsigned char alpha) {
    RECT d;
    POINT s;
    if (!context || !sourceRect(rect, offset, d, s)) return;
    HDC dc = context->getSystemContext();
    long w = d.right - d.left, h = d.bottom - d.top;
    // The picture is first laid over a copy of what is there (leaving transparent pixels
    // showing it), then that copy is blended back at the given opacity.
    HDC layer = CreateCompatibleDC(dc);
    HBITMAP layerBitmap = CreateCompatibleBitmap(dc, w, h);
    HGDIOBJ oldLayer = SelectObject(layer, layerBitmap);
    BitBlt(layer, 0, 0, w, h, dc, d.left, d.top, SRCCOPY);
    HDC memory = CreateCompatibleDC(dc);
    HGDIOBJ old = SelectObject(memory, bitmap);
    if (transparent)
        TransparentBlt(layer, 0, 0, w, h, memory, s.x, s.y, w, h, transparentColor.ref());
    else
        BitBlt(layer, 0, 0, w, h, memory, s.x, s.y, SRCCOPY);
    BLENDFUNCTION blend = {AC_SRC_OVER, 0, alpha, 0};
    AlphaBlend(dc, d.left, d.top, w, h, layer, 0, 0, w, h, blend);
    SelectObject(memory, old);
    DeleteDC(memory);
    SelectObject(layer, oldLayer);
    DeleteObject(layerBitmap);
    DeleteDC(layer);
}

// ---------------------------------------------------------------- CDrawContext

namespace {
const CRect kNoClip(-32768, -32768, 32767, 32767);
}

CDrawContext::CDrawContext(CFrame* frame, HDC dc, HWND window)
    : frame(frame), dc(dc), window(window), clipRect(kNoClip), fillColor(kBlackCColor), frameColor(kWhiteCColor),
      fontColor(kWhiteCColor), offset(0, 0), pen(0, 0), font(nullptr), previousFont(nullptr) {}

CDrawContext::~CDrawContext() {
    if (font) {
        if (dc) SelectObject(dc, previousFont);
        DeleteObject(font);
    }
}

void CDrawContext::setOffset(const CPoint& to) {
    offset = to;
    if (dc) SetViewportOrgEx(dc, to.h, to.v, nullptr);
}

void CDrawContext::moveTo(const CPoint& point) { pen = point; }

void CDrawContext::lineTo(const CPoint& point) {
    HPEN line = CreatePen(PS_SOLID, 1, frameColor.ref());
    HGDIOBJ old = SelectObject(dc, line);
    MoveToEx(dc, pen.h, pen.v, nullptr);
    LineTo(dc, point.h, point.v);
    SelectObject(dc, old);
    DeleteObject(line);
    pen = point;
}

void CDrawContext::setFont(CFont id, long size, long face) {
    // Pixel heights of the library's numbered fonts when no size is given.
    static const long kDefaultSizes[] = {12, 18, 14, 12, 11, 9};
    if (size <= 0) size = kDefaultSizes[id >= 0 && id <= kNormalFontSmaller ? id : kNormalFont];
    // The size is the font's cell height, internal leading included, as small labels need.
    HFONT made = CreateFontA(size, 0, 0, 0, (face & kBoldFace) ? FW_BOLD : FW_NORMAL, (face & kItalicFace) != 0,
                             (face & kUnderlineFace) != 0, 0, ANSI_CHARSET, OUT_DEFAULT_PRECIS, CLIP_DEFAULT_PRECIS,
                             NONANTIALIASED_QUALITY, DEFAULT_PITCH | FF_SWISS, "Arial");
    if (!made) return;
    HGDIOBJ old = SelectObject(dc, made);
    if (font)
        DeleteObject(font);
    else
        previousFont = old;
    font = made;
}

void CDrawContext::setClipRect(const CRect& clip) {
    clipRect = clip;
    SelectClipRgn(dc, nullptr);
    IntersectClipRect(dc, clip.left, clip.top, clip.right, clip.bottom);
}

CRect& CDrawContext::getClipRect(CRect& clip) const { return clip = clipRect; }

void CDrawContext::resetClipRect() {
    clipRect = kNoClip;
    SelectClipRgn(dc, nullptr);
}

void CDrawContext::fillRect(const CRect& rect) {
    RECT r = {rect.left, rect.top, rect.right, rect.bottom};
    HBRUSH brush = CreateSolidBrush(fillColor.ref());
    FillRect(dc, &r, brush);
    DeleteObject(brush);
}

void CDrawContext::drawRect(const CRect& rect) {
    RECT r = {rect.left, rect.top, rect.right, rect.bottom};
    HBRUSH brush = CreateSolidBrush(frameColor.ref());
    FrameRect(dc, &r, brush);
    DeleteObject(brush);
}

void CDrawContext::drawString(const char* text, const CRect& rect, short opaque, CHoriTxtAlign align) {
    if (!text) return;
    RECT r = {rect.left, rect.top, rect.right, rect.bottom};
    if (opaque) fillRect(rect);
    int oldMode = SetBkMode(dc, TRANSPARENT);
    COLORREF oldColor = SetTextColor(dc, fontColor.ref());
    UINT across = align == kLeftText ? DT_LEFT : align == kRightText ? DT_RIGHT : DT_CENTER;
    DrawTextA(dc, text, -1, &r, across | DT_VCENTER | DT_SINGLELINE | DT_NOPREFIX);
    SetTextColor(dc, oldColor);
    SetBkMode(dc, oldMode);
}

void CDrawContext::getMouseLocation(CPoint& point) {
    POINT p = {0, 0};
    GetCursorPos(&p);
    if (window) ScreenToClient(window, &p);
    point = CPoint(p.x - offset.h, p.y - offset.v);
}

long CDrawContext::getMouseButtons() {
    long buttons = 0;
    bool swapped = GetSystemMetrics(SM_SWAPBUTTON) != 0;
    if (GetAsyncKeyState(swapped ? VK_RBUTTON : VK_LBUTTON) & 0x8000) buttons |= kLButton;
    if (GetAsyncKeyState(VK_MBUTTON) & 0x8000) buttons |= kMButton;
    if (GetAsyncKeyState(swapped ? VK_LBUTTON : VK_RBUTTON) & 0x8000) buttons |= kRButton;
    if (GetAsyncKeyState(VK_SHIFT) & 0x8000) buttons |= kShift;
    if (GetAsyncKeyState(VK_CONTROL) & 0x8000) buttons |= kControl;
    if (GetAsyncKeyState(VK_MENU) & 0x8000) buttons |= kAlt;
    return buttons;
}

// ---------------------------------------------------------------- COffscreenContext

namespace {
// A fresh image's memory costs more on its first touch than a whole paint of the editor
// into it (tens of milliseconds for the face under wine), and the editor makes its two
// images anew at every open: released images wait here for the next one of their size.
struct SpareImage {
    long width, height;
    HBITMAP bitmap;
};
const size_t kMaxSpareImages = 3;

std::vector<SpareImage>& spareImages() {
    static std::vector<SpareImage> spares;
    return spares;
}

HBITMAP takeSpareImage(long width, long height) {
    std::vector<SpareImage>& spares = spareImages();
    for (auto it = spares.begin(); it != spares.end(); ++it) {
        if (it->width != width || it->height != height) continue;
        HBITMAP bitmap = it->bitmap;
        spares.erase(it);
        return bitmap;
    }
    return nullptr;
}

void keepSpareImage(long width, long height, HBITMAP bitmap) {
    std::vector<SpareImage>& spares = spareImages();
    if (spares.size() >= kMaxSpareImages) {
        DeleteObject(spares.front().bitmap);
        spares.erase(spares.begin());
    }
    spares.push_back({width, height, bitmap});
}
}  // namespace

COffscreenContext::COffscreenContext(CFrame* frame, long width, long height, const CColor background)
    : CDrawContext(frame, nullptr, frame ? frame->getSystemWindow() : nullptr), bitmap(nullptr), previous(nullptr),
      width(width), height(height) {
    dc = CreateCompatibleDC(nullptr);
    long w = width > 0 ? width : 1, h = height > 0 ? height : 1;
    bitmap = takeSpareImage(w, h);
    if (!bitmap) {
        // A 32-bit section: the same pixels on every display, and memory of this process.
        BITMAPINFO info = {};
        info.bmiHeader.biSize = sizeof info.bmiHeader;
        info.bmiHeader.biWidth = w;
        info.bmiHeader.biHeight = -h;
        info.bmiHeader.biPlanes = 1;
        info.bmiHeader.biBitCount = 32;
        void* bits = nullptr;
        bitmap = CreateDIBSection(dc, &info, DIB_RGB_COLORS, &bits, nullptr, 0);
    }
    previous = SelectObject(dc, bitmap);
    setFillColor(background);
    fillRect(CRect(0, 0, width, height));
}

COffscreenContext::~COffscreenContext() {
    SelectObject(dc, previous);
    DeleteDC(dc);
    dc = nullptr;
    if (bitmap) keepSpareImage(width > 0 ? width : 1, height > 0 ? height : 1, bitmap);
}

void COffscreenContext::releaseSpareImages() {
    std::vector<SpareImage> spares;
    spares.swap(spareImages());
    for (const SpareImage& spare : spares) DeleteObject(spare.bitmap);
}

int COffscreenContext::spareImageCount() { return (int)spareImages().size(); }

void COffscreenContext::copyFrom(CDrawContext* destination, const CRect& destRect, const CPoint& offset) {
    if (!destination) return;
    BitBlt(destination->getSystemContext(), destRect.left, destRect.top, destRect.width(), destRect.height(), dc,
           offset.h, offset.v, SRCCOPY);
}

// ---------------------------------------------------------------- CView, CControl

CView::CView(const CRect& size) : size(size), frame(nullptr), parentView(nullptr), dirty(false), mouseEnabled(true) {}

CPoint CView::frameOffset() const {
    CPoint at(0, 0);
    for (CViewContainer* c = parentView; c; c = c->getParentView()) at.offset(c->getViewSize().left, c->getViewSize().top);
    return at;
}

CView::~CView() {}

void CView::redraw() {
    if (frame) frame->drawView(this);
}

CControl::CControl(const CRect& size, CControlListener* listener, long tag, CBitmap* background)
    : CView(size), listener(listener), tag(tag), value(0.f), background(nullptr) {
    setBackground(background);
}

CControl::~CControl() {
    if (background) background->forget();
}

void CControl::setBackground(CBitmap* bitmap) {
    if (bitmap) bitmap->remember();
    if (background) background->forget();
    background = bitmap;
}

// ---------------------------------------------------------------- CFrame

namespace {
const char kFrameClass[] = "HalvornEditorFrame";
// Far outside every view: the pointer is not over the frame.
const CPoint kPointerAway(-100000, -100000);
int frameClassUsers = 0;

void registerFrameClass(WNDPROC proc) {
    if (frameClassUsers++ > 0) return;
    WNDCLASSA windowClass = {};
    windowClass.lpfnWndProc = proc;
    windowClass.hInstance = CBitmap::resourceModule();
    windowClass.hCursor = LoadCursor(nullptr, IDC_ARROW);
    windowClass.lpszClassName = kFrameClass;
    RegisterClassA(&windowClass);
}

// The class goes with the last frame: a class left registered would point into a library
// that the host may unload.
void unregisterFrameClass() {
    if (--frameClassUsers == 0) UnregisterClassA(kFrameClass, CBitmap::resourceModule());
}

long buttonsOf(WPARAM flags) {
    long buttons = 0;
    if (flags & MK_LBUTTON) buttons |= kLButton;
    if (flags & MK_MBUTTON) buttons |= kMButton;
    if (flags & MK_RBUTTON) buttons |= kRButton;
    if (flags & MK_SHIFT) buttons |= kShift;
    if (flags & MK_CONTROL) buttons |= kControl;
    if (GetKeyState(VK_MENU) & 0x8000) buttons |= kAlt;
    return buttons;
}
}  // namespace

CFrame::CFrame(const CRect& size, void* parentWindow, AEffGUIEditor* editor)
    : CView(size), window(nullptr), editor(editor), backBuffer(nullptr), pointer(kPointerAway),
      trackingLeave(false) {
    frame = this;
    registerFrameClass(windowProc);
    // The window starts at the parent's corner; views place themselves inside it, so an
    // origin moves the face within the window.
    window = CreateWindowExA(0, kFrameClass, "", WS_CHILD | WS_VISIBLE | WS_CLIPCHILDREN | WS_CLIPSIBLINGS, 0, 0,
                             size.right, size.bottom, (HWND)parentWindow, nullptr, CBitmap::resourceModule(), this);
}

CFrame::~CFrame() {
    releaseViews();
    delete backBuffer;
    if (window) {
        SetWindowLongPtrA(window, GWLP_USERDATA, 0);
        DestroyWindow(window);
        window = nullptr;
    }
    unregisterFrameClass();
}

void CFrame::releaseViews() {
    std::vector<CView*> held;
    held.swap(views);
    for (CView* view : held) {
        view->removed(this);
        view->forget();
    }
}

bool CFrame::addView(CView* view) {
    if (!view || isChild(view)) return false;
    views.push_back(view);
    view->attached(this);
    view->setDirty(true);
    return true;
}

bool CFrame::removeView(CView* view, bool withForget) {
    for (auto it = views.begin(); it != views.end(); ++it) {
        if (*it != view) continue;
        views.erase(it);
        view->removed(this);
        if (withForget) view->forget();
        return true;
    }
    return false;
}

bool CFrame::isChild(CView* view) const {
    for (CView* v : views)
        if (v == view) return true;
    return false;
}

CView* CFrame::viewAt(const CPoint& where) const {
    for (auto it = views.rbegin(); it != views.rend(); ++it)
        if ((*it)->getMouseEnabled() && (*it)->getViewSize().pointInside(where)) return *it;
    return nullptr;
}

void CFrame::draw(CDrawContext* context) {
    if (!window || !context) return;
    if (!backBuffer || backBuffer->getWidth() != size.right || backBuffer->getHeight() != size.bottom) {
        delete backBuffer;
        backBuffer = new COffscreenContext(this, size.right, size.bottom);
    }
    for (CView* view : views) {
        backBuffer->setClipRect(view->getViewSize());
        view->setDirty(false);
        view->draw(backBuffer);
    }
    backBuffer->resetClipRect();
    backBuffer->copyFrom(context, CRect(0, 0, size.right, size.bottom));
}

void CFrame::drawView(CView* view) {
    if (!window || !view) return;
    if (!backBuffer) {
        // Nothing painted yet: the whole frame is due anyway.
        InvalidateRect(window, nullptr, FALSE);
        return;
    }
    // A view inside a container draws in the container's coordinates.
    CPoint at = view->frameOffset();
    CRect r = view->getViewSize();
    backBuffer->setOffset(at);
    backBuffer->setClipRect(r);
    view->setDirty(false);
    view->draw(backBuffer);
    backBuffer->resetClipRect();
    backBuffer->setOffset(CPoint(0, 0));
    r.offset(at.h, at.v);
    HDC dc = GetDC(window);
    CDrawContext context(this, dc, window);
    backBuffer->copyFrom(&context, r, CPoint(r.left, r.top));
    ReleaseDC(window, dc);
}

void CFrame::idle() {
    if (!window) return;
    // A view may remove views while it draws: walk a copy of the list.
    std::vector<CView*> list = views;
    for (CView* view : list) {
        if (!isChild(view)) continue;
        CViewContainer* container = dynamic_cast<CViewContainer*>(view);
        if (view->isDirty() || (container && container->isDirtyInside())) drawView(view);
    }
}

// The window spans (0, 0) to (right, bottom) of the host's window: its new size is that.
bool CFrame::setSize(CCoord width, CCoord height) {
    size.right = width;
    size.bottom = height;
    if (window)
        SetWindowPos(window, nullptr, 0, 0, size.right, size.bottom, SWP_NOMOVE | SWP_NOZORDER | SWP_NOACTIVATE);
    return true;
}

// Where the frame last saw the pointer: asking the system each idle costs a round trip to
// the display server under wine (a millisecond), and the pointer is only of use over us.
void CFrame::getCurrentLocation(CPoint& where) { where = pointer; }

long CFrame::getCurrentMouseButtons() {
    CDrawContext context(this, nullptr, window);
    return context.getMouseButtons();
}

bool CFrame::onWheel(CDrawContext* context, const CPoint& where, float distance) {
    CView* view = viewAt(where);
    return view && view->onWheel(context, where, distance);
}

// The topmost view that answers other than -1 has the key.
long CFrame::passKey(VstKeyCode& keyCode, bool down) {
    for (auto it = views.rbegin(); it != views.rend(); ++it) {
        long taken = down ? (*it)->onKeyDown(keyCode) : (*it)->onKeyUp(keyCode);
        if (taken != -1) return taken;
    }
    return -1;
}

long CFrame::onKeyDown(VstKeyCode& keyCode) { return passKey(keyCode, true); }

long CFrame::onKeyUp(VstKeyCode& keyCode) { return passKey(keyCode, false); }

void CFrame::doIdleStuff() {
    if (editor) editor->doIdleStuff();
}

void CFrame::paint() {
    PAINTSTRUCT ps;
    HDC dc = BeginPaint(window, &ps);
    CDrawContext context(this, dc, window);
    draw(&context);
    EndPaint(window, &ps);
}

void CFrame::mouseDown(long x, long y, long buttons) {
    CPoint where(x, y);
    CView* view = viewAt(where);
    if (!view) return;
    // The view may run a loop of its own until the button is released; it stays held for it.
    view->remember();
    HDC dc = GetDC(window);
    CDrawContext context(this, dc, window);
    view->mouse(&context, where, buttons);
    if (window) ReleaseDC(window, dc);
    view->forget();
}

LRESULT CALLBACK CFrame::windowProc(HWND window, UINT message, WPARAM wParam, LPARAM lParam) {
    if (message == WM_NCCREATE) {
        CREATESTRUCTA* create = (CREATESTRUCTA*)lParam;
        SetWindowLongPtrA(window, GWLP_USERDATA, (LONG_PTR)create->lpCreateParams);
    }
    CFrame* frame = (CFrame*)GetWindowLongPtrA(window, GWLP_USERDATA);
    if (frame) {
        switch (message) {
            case WM_PAINT: frame->paint(); return 0;
            case WM_ERASEBKGND: return 1;
            case WM_LBUTTONDOWN:
            case WM_RBUTTONDOWN:
            case WM_MBUTTONDOWN:
            case WM_LBUTTONDBLCLK: {
                // A click beside an open text field ends its edit, as anywhere in Windows.
                HWND focus = GetFocus();
                if (focus && GetParent(focus) == window) SetFocus(window);
                frame->mouseDown((short)LOWORD(lParam), (short)HIWORD(lParam), buttonsOf(wParam));
                return 0;
            }
            case WM_MOUSEMOVE:
                frame->pointer = CPoint((short)LOWORD(lParam), (short)HIWORD(lParam));
                if (!frame->trackingLeave) {
                    TRACKMOUSEEVENT track = {sizeof track, TME_LEAVE, window, 0};
                    frame->trackingLeave = TrackMouseEvent(&track) != FALSE;
                }
                return 0;
            case WM_MOUSELEAVE:
                frame->pointer = kPointerAway;
                frame->trackingLeave = false;
                return 0;
            case WM_DESTROY:
                // The host destroyed its window (and with it ours) before closing the editor.
                SetWindowLongPtrA(window, GWLP_USERDATA, 0);
                frame->window = nullptr;
                delete frame->backBuffer;
                frame->backBuffer = nullptr;
                break;
            default: break;
        }
    }
    return DefWindowProcA(window, message, wParam, lParam);
}

// ---------------------------------------------------------------- controls

namespace {
void drawImage(CBitmap* bitmap, CDrawContext* context, const CRect& size, const CPoint& source) {
    if (!bitmap) return;
    if (bitmap->isTransparent())
        bitmap->drawTransparent(context, size, source);
    else
        bitmap->draw(context, size, source);
}

void tell(CControlListener* listener, CDrawContext* context, CControl* control) {
    if (listener) listener->valueChanged(context, control);
}
}  // namespace

CKickButton::CKickButton(const CRect& size, CControlListener* listener, long tag, CBitmap* background,
                         const CPoint& offset)
    : CControl(size, listener, tag, background), offset(offset) {}

void CKickButton::draw(CDrawContext* context) {
    CPoint source(offset.h, offset.v + (value >= 0.5f ? size.height() : 0));
    drawImage(background, context, size, source);
    setDirty(false);
}

void CKickButton::mouse(CDrawContext* context, CPoint& where, long buttons) {
    if (buttons == -1) buttons = context->getMouseButtons();
    if (!(buttons & kLButton)) return;
    value = 1.f;
    if (frame) redraw();
    bool inside = true;
    // Follows the pointer while the button is held, pressed only while over the button.
    while (context->getMouseButtons() & kLButton) {
        CPoint now;
        context->getMouseLocation(now);
        bool over = size.pointInside(now);
        if (over != inside) {
            inside = over;
            value = inside ? 1.f : 0.f;
            if (frame) redraw();
        }
        if (frame) frame->doIdleStuff();
        if (!frame || !frame->isOpen()) break;
    }
    if (inside) {
        value = 1.f;
        tell(listener, context, this);
    }
    value = 0.f;
    if (inside) tell(listener, context, this);
    setDirty(true);
}

COnOffButton::COnOffButton(const CRect& size, CControlListener* listener, long tag, CBitmap* background)
    : CControl(size, listener, tag, background) {}

void COnOffButton::draw(CDrawContext* context) {
    drawImage(background, context, size, CPoint(0, value >= 0.5f ? size.height() : 0));
    setDirty(false);
}

void COnOffButton::mouse(CDrawContext* context, CPoint& where, long buttons) {
    if (buttons == -1) buttons = context->getMouseButtons();
    if (!(buttons & kLButton)) return;
    value = value >= 0.5f ? 0.f : 1.f;
    setDirty(true);
    tell(listener, context, this);
}

CMovieBitmap::CMovieBitmap(const CRect& size, CControlListener* listener, long tag, long frames, CCoord frameHeight,
                           CBitmap* background, const CPoint& offset)
    : CControl(size, listener, tag, background), frames(frames > 0 ? frames : 1), frameHeight(frameHeight),
      offset(offset) {}

long CMovieBitmap::frameShown() const {
    float v = value > 1.f ? 1.f : value >= 0.f ? value : 0.f;  // NaN shows the first frame
    return (long)(v * (frames - 1) + 0.5f);
}

void CMovieBitmap::draw(CDrawContext* context) {
    drawImage(background, context, size, CPoint(offset.h, offset.v + frameShown() * frameHeight));
    setDirty(false);
}
