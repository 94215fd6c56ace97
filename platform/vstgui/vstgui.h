// Our small VSTGUI layer: the view classes the editor stands on, on plain Win32 and GDI.
// Class and method names follow the library the editor code was written against, so the
// code above reads naturally; only what that code uses is here.
#pragma once

#include <windows.h>

#include <string>
#include <utility>
#include <vector>

#include "vst/aeffectx.h"

class AEffGUIEditor;
class CFrame;
class CDrawContext;
class CViewContainer;

typedef long CCoord;

// Mouse buttons and modifiers, as bits: 1 left, 2 middle, 4 right, 8 Shift, 16 Ctrl, 32 Alt.
enum CButton { kLButton = 1, kMButton = 2, kRButton = 4, kShift = 8, kControl = 16, kAlt = 32 };

struct CPoint {
    CPoint(CCoord h = 0, CCoord v = 0) : h(h), v(v) {}
    CPoint& offset(CCoord dx, CCoord dy) {
        h += dx;
        v += dy;
        return *this;
    }
    bool operator!=(const CPoint& o) const { return h != o.h || v != o.v; }
    bool operator==(const CPoint& o) const { return h == o.h && v == o.v; }
    CCoord h, v;
};

// Right and bottom edges are exclusive; empty when right <= left or bottom <= top.
struct CRect {
    CRect(CCoord left = 0, CCoord top = 0, CCoord right = 0, CCoord bottom = 0)
        : left(left), top(top), right(right), bottom(bottom) {}
    CCoord width() const { return right - left; }
    CCoord height() const { return bottom - top; }
    bool isEmpty() const { return right <= left || bottom <= top; }
    CRect& offset(CCoord dx, CCoord dy) {
        left += dx;
        right += dx;
        top += dy;
        bottom += dy;
        return *this;
    }
    CRect& moveTo(CCoord x, CCoord y) { return offset(x - left, y - top); }
    bool pointInside(const CPoint& p) const { return p.h >= left && p.h < right && p.v >= top && p.v < bottom; }
    bool operator==(const CRect& o) const {
        return left == o.left && top == o.top && right == o.right && bottom == o.bottom;
    }
    CCoord left, top, right, bottom;
};

struct CColor {
    unsigned char red, green, blue, alpha;
    COLORREF ref() const { return RGB(red, green, blue); }
};
const CColor kBlackCColor = {0, 0, 0, 255};
const CColor kWhiteCColor = {255, 255, 255, 255};
const CColor kMagentaCColor = {255, 0, 255, 255};
const CColor kGreyCColor = {127, 127, 127, 255};

// Font numbers as the library counts them; the size and face are given beside them.
enum CFont { kSystemFont = 0, kNormalFontVeryBig, kNormalFontBig, kNormalFont, kNormalFontSmall, kNormalFontSmaller };
// Text faces, as bits.
enum CTxtFace { kNormalFace = 0, kBoldFace = 1, kItalicFace = 2, kUnderlineFace = 4 };
enum CHoriTxtAlign { kLeftText = 0, kCenterText, kRightText };

// Reference counted as in the library: remember adds a holder, forget drops one and
// deletes the object with the last.
class CBaseObject {
public:
    CBaseObject() : references(1) {}
    virtual ~CBaseObject() {}
    void remember() { references++; }
    void forget() {
        if (--references == 0) delete this;
    }
    int getNbReference() const { return references; }

private:
    int references;
};

// A bitmap from the plug-in library's bitmap resources.
class CBitmap : public CBaseObject {
public:
    explicit CBitmap(long resourceId);
    ~CBitmap() override;

    bool isLoaded() const { return bitmap != nullptr; }
    long getResourceId() const { return resourceId; }
    CCoord getWidth() const { return width; }
    CCoord getHeight() const { return height; }

    // Copies the source rectangle at offset (clipped to the bitmap) to rect's top-left.
    void draw(CDrawContext* context, const CRect& rect, const CPoint& offset = CPoint(0, 0));
    // As draw, leaving the transparent colour's pixels alone.
    void drawTransparent(CDrawContext* context, const CRect& rect, const CPoint& offset = CPoint(0, 0));
    // As draw (transparent when a colour is set) at an opacity of alpha / 255.
    void drawAlphaBlend(CDrawContext* context, const CRect& rect, const CPoint& offset = CPoint(0, 0),
                        unsigned char alpha = 128);

    void setTransparentColor(const CColor color);
    CColor getTransparentColor() const { return transparentColor; }
    bool isTransparent() const { return transparent; }

    // The module whose resources bitmaps come from: the library this layer is linked into.
    static HINSTANCE resourceModule();

private:
    bool sourceRect(const CRect& rect, const CPoint& offset, RECT& dest, POINT& source) const;

    long resourceId;
    HBITMAP bitmap;
    CCoord width, height;
    CColor transparentColor;
    bool transparent;
};

// A GDI device context with a clip rectangle and colours.
class CDrawContext : public CBaseObject {
public:
    CDrawContext(CFrame* frame, HDC dc, HWND window);
    ~CDrawContext() override;

    HDC getSystemContext() const { return dc; }
    HWND getWindow() const { return window; }
    CFrame* getFrame() const { return frame; }

    void setClipRect(const CRect& clip);
    CRect& getClipRect(CRect& clip) const;
    void resetClipRect();

    void setFillColor(const CColor color) { fillColor = color; }
    void setFrameColor(const CColor color) { frameColor = color; }
    void setFontColor(const CColor color) { fontColor = color; }
    void fillRect(const CRect& rect);
    void drawRect(const CRect& rect);
    // Lines in the frame colour, one pixel wide; lineTo leaves the end point unpainted.
    void moveTo(const CPoint& point);
    void lineTo(const CPoint& point);
    void setFont(CFont font, long size = 0, long face = kNormalFace);
    // One line in the font colour, centred vertically, never wrapped.
    void drawString(const char* text, const CRect& rect, short opaque = 0, CHoriTxtAlign align = kCenterText);

    // Drawing lands offset by this much in the device: views inside a container draw in
    // the container's coordinates.
    void setOffset(const CPoint& offset);
    const CPoint& getOffset() const { return offset; }

    // The pointer's position in the window's client coordinates, and the buttons held now.
    void getMouseLocation(CPoint& point);
    long getMouseButtons();

protected:
    CFrame* frame;
    HDC dc;
    HWND window;
    CRect clipRect;
    CColor fillColor, frameColor, fontColor;
    CPoint offset;
    CPoint pen;
    HFONT font;
    HGDIOBJ previousFont;
};

// A back buffer: a memory context with a bitmap of its own.
class COffscreenContext : public CDrawContext {
public:
    COffscreenContext(CFrame* frame, long width, long height, const CColor background = kBlackCColor);
    ~COffscreenContext() override;

    long getWidth() const { return width; }
    long getHeight() const { return height; }
    // Copies this buffer, from its point offset, into destRect of the destination.
    void copyFrom(CDrawContext* destination, const CRect& destRect, const CPoint& offset = CPoint(0, 0));

    // The images of released contexts are kept for the next context of their size, until
    // this lets them go (the editor calls it when its last object goes).
    static void releaseSpareImages();
    static int spareImageCount();

private:
    HBITMAP bitmap;
    HGDIOBJ previous;
    long width, height;
};

class CView : public CBaseObject {
public:
    explicit CView(const CRect& size);
    ~CView() override;

    virtual void draw(CDrawContext* context) {}
    virtual void mouse(CDrawContext* context, CPoint& where, long buttons = -1) {}
    virtual bool onWheel(CDrawContext* context, const CPoint& where, float distance) { return false; }
    virtual long onKeyDown(VstKeyCode& keyCode) { return -1; }
    virtual long onKeyUp(VstKeyCode& keyCode) { return -1; }

    virtual void setDirty(bool state = true) { dirty = state; }
    bool isDirty() const { return dirty; }
    // Draws the view at once through its frame.
    virtual void redraw();

    virtual void setViewSize(const CRect& rect) { size = rect; }
    const CRect& getViewSize() const { return size; }
    CRect& getViewSize(CRect& rect) const { return rect = size; }
    CCoord getWidth() const { return size.width(); }
    CCoord getHeight() const { return size.height(); }

    virtual void attached(CFrame* newFrame) { frame = newFrame; }
    virtual void removed(CFrame* oldFrame) { frame = nullptr; }
    CFrame* getFrame() const { return frame; }
    void setParentView(CViewContainer* container) { parentView = container; }
    CViewContainer* getParentView() const { return parentView; }
    // Where the view's coordinates start in the frame's: the sum of its containers' corners.
    CPoint frameOffset() const;

    void setMouseEnabled(bool enabled) { mouseEnabled = enabled; }
    bool getMouseEnabled() const { return mouseEnabled; }

protected:
    CRect size;
    CFrame* frame;
    CViewContainer* parentView;
    bool dirty;
    bool mouseEnabled;
};

class CControl;

class CControlListener {
public:
    virtual void valueChanged(CDrawContext* context, CControl* control) = 0;
    virtual long controlModifierClicked(CDrawContext* context, CControl* control, long button) { return 0; }
};

class CControl : public CView {
public:
    // Text faces and frames of the text controls, as style bits.
    enum { kShadowText = 1 << 0, kCheckStyle = 1 << 10, kNoTextStyle = 1 << 11, kNoDrawStyle = 1 << 12 };

    CControl(const CRect& size, CControlListener* listener = nullptr, long tag = 0, CBitmap* background = nullptr);
    ~CControl() override;

    void setValue(float v) { value = v; }
    float getValue() const { return value; }
    long getTag() const { return tag; }
    void setTag(long t) { tag = t; }
    CControlListener* getListener() const { return listener; }
    void setBackground(CBitmap* bitmap);
    CBitmap* getBackground() const { return background; }

protected:
    CControlListener* listener;
    long tag;
    float value;
    CBitmap* background;
};

// The editor's child window: owns its views (each added view is held once and released
// when it is removed with forget or when the frame goes), paints them through a back
// buffer, and passes the mouse to the view under the pointer.
class CFrame : public CView {
public:
    CFrame(const CRect& size, void* parentWindow, AEffGUIEditor* editor);
    ~CFrame() override;

    bool isOpen() const { return window != nullptr; }
    HWND getSystemWindow() const { return window; }
    AEffGUIEditor* getEditor() const { return editor; }

    bool addView(CView* view);
    // Takes the view out of the list; withForget releases the frame's hold on it.
    bool removeView(CView* view, bool withForget = true);
    bool isChild(CView* view) const;
    int getNbViews() const { return (int)views.size(); }

    // Draws every dirty view now.
    void idle();
    void draw(CDrawContext* context) override;
    void drawView(CView* view);
    bool setSize(CCoord width, CCoord height);
    // The pointer as the window last saw it, in client coordinates; far outside when it left.
    void getCurrentLocation(CPoint& where);
    long getCurrentMouseButtons();
    bool onWheel(CDrawContext* context, const CPoint& where, float distance) override;
    long onKeyDown(VstKeyCode& keyCode) override;
    long onKeyUp(VstKeyCode& keyCode) override;
    // The editor's idle pacing, for views that run mouse loops of their own.
    void doIdleStuff();

private:
    static LRESULT CALLBACK windowProc(HWND window, UINT message, WPARAM wParam, LPARAM lParam);
    void paint();
    void mouseDown(long x, long y, long buttons);
    long passKey(VstKeyCode& keyCode, bool down);
    CView* viewAt(const CPoint& where) const;
    void releaseViews();

    friend class CTextEdit;
    HWND window;
    AEffGUIEditor* editor;
    std::vector<CView*> views;
    COffscreenContext* backBuffer;
    CPoint pointer;
    bool trackingLeave;
};

// A view that holds views in its own coordinates, over an optional background bitmap. Like
// the frame it holds each added view once and releases it when removed with forget.
class CViewContainer : public CView {
public:
    CViewContainer(const CRect& size, CFrame* parent, CBitmap* background = nullptr);
    ~CViewContainer() override;

    bool addView(CView* view);
    bool removeView(CView* view, bool withForget = true);
    void removeAll(bool withForget = true);
    bool isChild(CView* view) const;
    int getNbViews() const { return (int)views.size(); }
    CView* getView(int index) const { return index >= 0 && index < (int)views.size() ? views[index] : nullptr; }
    void setBackground(CBitmap* bitmap);
    CBitmap* getBackground() const { return background; }

    void draw(CDrawContext* context) override;
    // Draws the background and the views that meet rect (container coordinates).
    virtual void drawBackgroundRect(CDrawContext* context, const CRect& rect);
    void mouse(CDrawContext* context, CPoint& where, long buttons = -1) override;
    bool onWheel(CDrawContext* context, const CPoint& where, float distance) override;
    long onKeyDown(VstKeyCode& keyCode) override;
    long onKeyUp(VstKeyCode& keyCode) override;
    // Dirty while any view inside is.
    bool isDirtyInside() const;
    void attached(CFrame* newFrame) override;
    void removed(CFrame* oldFrame) override;

protected:
    // The topmost view under the point (container coordinates).
    CView* viewAt(const CPoint& where) const;
    std::vector<CView*> views;
    CBitmap* background;
};

// A button that is pressed while held: value 1 while the pointer is held over it, and on a
// release over it the listener hears 1 and then 0. The bitmap holds the released and the
// pressed image one above the other.
class CKickButton : public CControl {
public:
    CKickButton(const CRect& size, CControlListener* listener, long tag, CBitmap* background,
                const CPoint& offset = CPoint(0, 0));
    void draw(CDrawContext* context) override;
    void mouse(CDrawContext* context, CPoint& where, long buttons = -1) override;

private:
    CPoint offset;
};

// A two-state switch: each left click turns it over and tells the listener.
class COnOffButton : public CControl {
public:
    COnOffButton(const CRect& size, CControlListener* listener, long tag, CBitmap* background);
    void draw(CDrawContext* context) override;
    void mouse(CDrawContext* context, CPoint& where, long buttons = -1) override;
};

// Shows one frame of a strip of images one above the other, chosen by the value (0-1).
class CMovieBitmap : public CControl {
public:
    CMovieBitmap(const CRect& size, CControlListener* listener, long tag, long frames, CCoord frameHeight,
                 CBitmap* background, const CPoint& offset = CPoint(0, 0));
    void draw(CDrawContext* context) override;
    long frameShown() const;

private:
    long frames;
    CCoord frameHeight;
    CPoint offset;
};

// A list of entries that pops up as a menu when clicked (or when its mouse is called by
// code): an entry "-" is a separator, an entry may open a submenu, and the menu breaks into
// a new column every few entries. The chosen entry's position becomes the value of the
// menu that holds it, and that menu's own listener hears of it (a submenu tells its own,
// not its parent's). A menu holds each submenu once and releases it with itself.
class COptionMenu : public CControl {
public:
    COptionMenu(const CRect& size, CControlListener* listener, long tag, CBitmap* background = nullptr,
                CBitmap* backgroundWhenClicked = nullptr, long style = 0);
    ~COptionMenu() override;

    // index -1 appends; otherwise the entry is inserted there. False when the menu is full.
    bool addEntry(const char* text, long index = -1, long flags = 0);
    bool addEntry(COptionMenu* submenu, const char* text);
    bool removeEntry(long index);
    bool removeAllEntry();
    long getNbEntries() const { return (long)entries.size(); }
    // Copies entry index's text (up to 255 characters); false outside the list.
    bool getEntry(long index, char* text) const;
    const char* getEntryText(long index) const;
    COptionMenu* getSubMenu(long index) const;
    bool checkEntry(long index, bool checked);
    bool isCheckEntry(long index) const;
    void setCurrent(long index);
    long getCurrent() const { return current; }
    void setNbItemsPerColumn(long count) { itemsPerColumn = count; }
    long getNbItemsPerColumn() const { return itemsPerColumn; }
    long getStyle() const { return style; }
    void setFont(CFont newFont, long newSize = 0) {
        font = newFont;
        fontSize = newSize;
    }
    void setFontColor(const CColor colour) { fontColor = colour; }
    // The position chosen last in this menu or below it (-1 when cancelled), and the menu
    // that holds it.
    long getLastResult() const { return lastResult; }
    COptionMenu* getLastItemMenu(long& index) const;

    void draw(CDrawContext* context) override;
    // Pops the menu up at its rectangle's corner and tracks it until the user chooses or
    // cancels.
    void mouse(CDrawContext* context, CPoint& where, long buttons = -1) override;

private:
    struct Entry {
        std::string text;
        COptionMenu* submenu;
        bool checked;
        bool disabled;
    };
    HMENU build(std::vector<std::pair<COptionMenu*, long>>& commands);
    void chosen(CDrawContext* context, COptionMenu* menu, long index);

    std::vector<Entry> entries;
    CBitmap* backgroundWhenClicked;
    long style;
    long current;
    long itemsPerColumn;
    long lastResult;
    COptionMenu* lastMenu;
    long lastMenuIndex;
    CFont font;
    long fontSize;
    CColor fontColor;
    bool popped;
};

// A line of text that becomes an edit field in place when clicked: Enter or leaving the
// field takes the text and tells the listener, Escape puts the old text back.
class CTextEdit : public CControl {
public:
    CTextEdit(const CRect& size, CControlListener* listener, long tag, const char* text = nullptr,
              CBitmap* background = nullptr, long style = 0);
    ~CTextEdit() override;

    // At most 255 characters are kept.
    void setText(const char* text);
    const char* getText() const { return text.c_str(); }
    void getText(char* out) const;
    void setFont(CFont newFont, long newSize = 0, long newFace = kNormalFace) {
        font = newFont;
        fontSize = newSize;
        fontFace = newFace;
    }
    void setFontColor(const CColor colour) { fontColor = colour; }
    void setHoriAlign(CHoriTxtAlign align) { alignment = align; }

    void draw(CDrawContext* context) override;
    void mouse(CDrawContext* context, CPoint& where, long buttons = -1) override;
    void removed(CFrame* oldFrame) override;

    // Opens the edit field over the control; closes it, keeping the typed text or not.
    void takeFocus();
    void looseFocus(bool keep = true);
    bool isEditing() const { return editWindow != nullptr; }
    HWND getEditWindow() const { return editWindow; }

private:
    static LRESULT CALLBACK editProc(HWND window, UINT message, WPARAM wParam, LPARAM lParam);

    std::string text;
    long style;
    CFont font;
    long fontSize, fontFace;
    CColor fontColor;
    CHoriTxtAlign alignment;
    HWND editWindow;
    HFONT editFont;
    WNDPROC previousProc;
    bool closing;
};
