#include "vstgui/vstgui.h"

namespace {
const size_t kMaxText = 255;
const char kEditOwner[] = "HalvornTextEdit";
}  // namespace

CTextEdit::CTextEdit(const CRect& size, CControlListener* listener, long tag, const char* initial,
                     CBitmap* background, long style)
    : CControl(size, listener, tag, background), style(style), font(kNormalFontSmall), fontSize(0),
      fontFace(kNormalFace), fontColor(kWhiteCColor), alignment(kCenterText), editWindow(nullptr),
      editFont(nullptr), previousProc(nullptr), closing(false) {
    setText(initial);
}

CTextEdit::~CTextEdit() { looseFocus(false); }

void CTextEdit::setText(const char* newText) {
    text = newText ? newText : "";
    if (text.size() > kMaxText) text.resize(kMaxText);
    setDirty(true);
}

void CTextEdit::getText(char* out) const {
    if (!out) return;
    text.copy(out, kMaxText);
    out[text.size() < kMaxText ? text.size() : kMaxText] = 0;
}

void CTextEdit::draw(CDrawContext* context) {
    if (background) {
        if (background->isTransparent())
            background->drawTransparent(context, size, CPoint(0, 0));
        else
            background->draw(context, size, CPoint(0, 0));
    }
    if (!(style & kNoTextStyle) && !editWindow) {
        context->setFont(font, fontSize, fontFace);
        context->setFontColor(fontColor);
        CRect inside(size.left + 2, size.top, size.right - 2, size.bottom);
        context->drawString(text.c_str(), inside, 0, alignment);
    }
    setDirty(false);
}

void CTextEdit::mouse(CDrawContext* context, CPoint& where, long buttons) {
    if (buttons == -1 && context) buttons = context->getMouseButtons();
    if (!(buttons & kLButton) || editWindow) return;
    takeFocus();
}

void CTextEdit::removed(CFrame* oldFrame) {
    looseFocus(false);
    CControl::removed(oldFrame);
}

void CTextEdit::takeFocus() {
    if (editWindow || !frame || !frame->getSystemWindow()) return;
    CPoint at = frameOffset();
    CRect r = size;
    r.offset(at.h, at.v);
    editWindow = CreateWindowExA(0, "EDIT", text.c_str(), WS_CHILD | WS_VISIBLE | ES_AUTOHSCROLL | WS_BORDER,
                                 r.left, r.top, r.width(), r.height(), frame->getSystemWindow(), nullptr,
                                 CBitmap::resourceModule(), nullptr);
    if (!editWindow) return;
    long pixels = fontSize > 0 ? fontSize : 11;
    editFont = CreateFontA(-pixels, 0, 0, 0, (fontFace & kBoldFace) ? FW_BOLD : FW_NORMAL, 0, 0, 0, ANSI_CHARSET,
                           OUT_DEFAULT_PRECIS, CLIP_DEFAULT_PRECIS, NONANTIALIASED_QUALITY, DEFAULT_PITCH | FF_SWISS,
                           "Arial");
    SendMessageA(editWindow, WM_SETFONT, (WPARAM)editFont, FALSE);
    SendMessageA(editWindow, EM_LIMITTEXT, kMaxText, 0);
    SetPropA(editWindow, kEditOwner, (HANDLE)this);
    previousProc = (WNDPROC)SetWindowLongPtrA(editWindow, GWLP_WNDPROC, (LONG_PTR)editProc);
    SendMessageA(editWindow, EM_SETSEL, 0, -1);
    SetFocus(editWindow);
    setDirty(true);
}

// keep: the typed text becomes the control's and the listener hears of it. The field goes
// first, so that a listener may replace the text or remove the control.
void CTextEdit::looseFocus(bool keep) {
    if (!editWindow || closing) return;
    closing = true;
    char typed[kMaxText + 1] = {0};
    GetWindowTextA(editWindow, typed, sizeof typed);
    HWND field = editWindow;
    editWindow = nullptr;
    SetWindowLongPtrA(field, GWLP_WNDPROC, (LONG_PTR)previousProc);
    RemovePropA(field, kEditOwner);
    DestroyWindow(field);
    if (editFont) DeleteObject(editFont);
    editFont = nullptr;
    closing = false;
    setDirty(true);
    if (!keep) return;
    text = typed;
    if (listener) {
        remember();
        HDC dc = frame && frame->getSystemWindow() ? GetDC(frame->getSystemWindow()) : nullptr;
        CDrawContext context(frame, dc, frame ? frame->getSystemWindow() : nullptr);
        listener->valueChanged(&context, this);
        if (dc) ReleaseDC(frame->getSystemWindow(), dc);
        forget();
    }
}

LRESULT CALLBACK CTextEdit::editProc(HWND window, UINT message, WPARAM wParam, LPARAM lParam) {
    CTextEdit* edit = (CTextEdit*)GetPropA(window, kEditOwner);
    if (!edit) return DefWindowProcA(window, message, wParam, lParam);
    WNDPROC previous = edit->previousProc;
    switch (message) {
        case WM_KEYDOWN:
            if (wParam == VK_RETURN) {
                edit->looseFocus(true);
                return 0;
            }
            if (wParam == VK_ESCAPE) {
                edit->looseFocus(false);
                return 0;
            }
            break;
        case WM_CHAR:
            // Enter and Escape were handled as keys; the field would only beep at them.
            if (wParam == '\r' || wParam == 27) return 0;
            break;
        case WM_KILLFOCUS: {
            LRESULT result = CallWindowProcA(previous, window, message, wParam, lParam);
            edit->looseFocus(true);
            return result;
        }
        default: break;
    }
    return CallWindowProcA(previous, window, message, wParam, lParam);
}
