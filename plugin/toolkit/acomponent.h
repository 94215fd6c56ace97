// The toolkit's retained-mode tree: components, the child list, panels and the one open
// window. Positions are relative to the parent panel; handlers get coordinates relative to
// their component and answer true when they took the event. Components are redrawn
// through their clean flags when the frame draws at the next editor idle.
#pragma once

#include <vector>

#include "vstgui/vstgui.h"

class AContainer;
class AFrame;
class APanel;
class AWindow;
class GuiInterface;
class InstrumentInterface;

// Empty rectangles are kept as (-1, -1, -1, -1) throughout the drawing code.
const CRect kNoRect(-1, -1, -1, -1);
// out := a intersected with b; kNoRect when either is empty.
void intersectRect(CRect& out, const CRect& a, const CRect& b);
// inOut grows to the bounding box of both; an empty side takes the other.
void unionRect(CRect& inOut, const CRect& other);
// A rectangle from two corners in any order.
CRect rectFromCorners(long x1, long y1, long x2, long y2);

class AComponent {
public:
    AComponent();
    virtual ~AComponent();

    virtual void setBounds(int x, int y, int width, int height);
    virtual void setPosition(int x, int y);
    // The point is in the parent's coordinates.
    virtual bool contains(int px, int py);
    virtual AFrame* getFrame();
    virtual int getAbsoluteX(bool withFrameOrigin);
    virtual int getAbsoluteY(bool withFrameOrigin);
    virtual void drawClipped(CDrawContext* context, int x, int y, const CRect& clip);
    virtual void draw(CDrawContext* context, int x, int y) = 0;
    virtual void drawIfDirty(CDrawContext* context, int x, int y, CRect& drawn);
    virtual bool isClean();
    virtual void idle();
    virtual void mouseEnter();
    virtual void mouseLeave();
    virtual bool mouseMove(int x, int y);
    virtual bool mouseDrag(int x, int y);
    virtual bool mouseDown(int x, int y, int buttons);
    virtual bool mouseUp(int x, int y);
    virtual bool hoverEnd();
    virtual bool wheel(int x, int y, float distance);
    virtual bool keyDown(int key);
    virtual bool keyUp(int key);
    virtual AComponent* componentAt(int x, int y);
    virtual void broadcast(int a, int b);
    virtual void setEnabled(bool enabled);
    virtual int reserved(int a, int b, int c);
    virtual void setAttached(bool attached);

    void invalidate() { clean = false; }
    void setClean(bool state) { clean = state; }
    void setTag(int t) { tag = t; }
    int getTag() const { return tag; }
    void setParent(AContainer* container) { parent = container; }
    AContainer* getParent() const { return parent; }
    // The panel that owns the parent container; null without parent.
    APanel* getParentPanel() const;

    int getX() const { return x; }
    int getY() const { return y; }
    int getWidth() const { return width; }
    int getHeight() const { return height; }
    bool isEnabled() const { return enabled; }
    bool isAttached() const { return attached; }
    // The component's rectangle in its parent's coordinates.
    CRect bounds() const { return CRect(x, y, x + width, y + height); }

protected:
    int x, y, width, height;
    int tag;
    AContainer* parent;
    bool clean;
    bool enabled;
    bool attached;
};

// An ordered child list (first drawn first); it does not own its children except through
// destroyAll.
class AContainer {
public:
    AContainer();
    virtual ~AContainer();
    virtual void add(AComponent* child);
    virtual void remove(AComponent* child);
    virtual void invalidateChild(AComponent* child) = 0;

    bool contains(AComponent* child) const;
    void destroyAll();
    const std::vector<AComponent*>& children() const { return list; }
    // The panel this list belongs to.
    virtual APanel* asPanel() = 0;

protected:
    std::vector<AComponent*> list;
    bool changed;
};

class APanel : public AComponent, public AContainer {
public:
    APanel(InstrumentInterface* instrument, GuiInterface* gui);
    ~APanel() override;

    AFrame* getFrame() override;
    int getAbsoluteX(bool withFrameOrigin) override;
    int getAbsoluteY(bool withFrameOrigin) override;
    void drawClipped(CDrawContext* context, int x, int y, const CRect& clip) override;
    void draw(CDrawContext* context, int x, int y) override;
    void drawIfDirty(CDrawContext* context, int x, int y, CRect& drawn) override;
    bool isClean() override;
    void idle() override;
    void mouseLeave() override;
    bool mouseMove(int x, int y) override;
    bool mouseDrag(int x, int y) override;
    bool mouseDown(int x, int y, int buttons) override;
    bool mouseUp(int x, int y) override;
    bool hoverEnd() override;
    bool wheel(int x, int y, float distance) override;
    bool keyDown(int key) override;
    bool keyUp(int key) override;
    AComponent* componentAt(int x, int y) override;
    void broadcast(int a, int b) override;
    void setAttached(bool attached) override;
    void remove(AComponent* child) override;
    void invalidateChild(AComponent* child) override;
    APanel* asPanel() override { return this; }
    using AComponent::contains;
    using AContainer::contains;

    // offset is where, inside this panel, rect's top-left corner lies; alpha 255 is opaque.
    virtual void drawBackground(CDrawContext* context, const CRect& rect, const CPoint& offset, int alpha);
    virtual void drawForeground(CDrawContext* context, const CRect& rect, const CPoint& offset, int alpha);
    virtual void drawOpenWindow(CDrawContext* context, int x, int y, CRect& drawn);
    virtual void setFrame(AFrame* frame);
    virtual bool openWindow(AWindow* window);
    virtual void closeWindow(AWindow* window);
    virtual AWindow* getOpenWindow();
    virtual void setAutoScroll(bool on);

    InstrumentInterface* getInstrumentInterface() const { return instrument; }
    GuiInterface* getGuiInterface() const { return gui; }
    AComponent* getMouseTarget() const { return mouseTarget; }
    AComponent* getHoverChild() const { return hoverChild; }
    const CRect& getPendingDirty() const { return pendingDirty; }

protected:
    // Makes target the mouse target, with mouseEnter / mouseLeave when it changes.
    void setMouseTarget(AComponent* target);
    // Every child in full, in list order, each clipped to its rectangle.
    void drawChildren(CDrawContext* context, int x, int y);

    AWindow* openedWindow;
    AComponent* mouseTarget;
    AComponent* hoverChild;
    AFrame* frame;
    GuiInterface* gui;
    InstrumentInterface* instrument;
    CRect pendingDirty;
};

// Windows that nobody keeps (the MIDI control and keyboard range windows) close from their
// own handlers; they are queued here and deleted at the frame's next idle, never inside the
// handler that closed them.
void deleteWindowLater(AWindow* window);
void deleteClosedWindows();
int pendingWindowDeletions();

// Paints the parent panel's background under rect (context coordinates) of a component
// whose top-left is at (x, y) of the context; nothing without parent.
void drawParentBackground(AComponent* component, CDrawContext* context, int x, int y, const CRect& rect, int alpha);

// A panel shown above everything else; it swallows the mouse input that reaches it.
class AWindow : public APanel {
public:
    AWindow();
    AWindow(InstrumentInterface* instrument, GuiInterface* gui);

    bool mouseMove(int x, int y) override;
    bool mouseDrag(int x, int y) override;
    bool mouseDown(int x, int y, int buttons) override;
    bool mouseUp(int x, int y) override;
    void drawBackground(CDrawContext*, const CRect&, const CPoint&, int) override {}
    void drawForeground(CDrawContext*, const CRect&, const CPoint&, int) override {}

    virtual bool keepsOpenOnOutsideClick() { return true; }
    virtual void onOpen() {}
    virtual void onClose() {}
};
