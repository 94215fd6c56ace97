// The discrete controls: push buttons with a name popup, film-strip switches bound to a
// parameter, lamps that stay lit a moment, a drawn check box, a looping animation and an
// invisible click area.
#pragma once

#include <cstdint>
#include <string>

#include "toolkit/acomponent.h"
#include "toolkit/control_styles.h"
#include "toolkit/gui_interface.h"

class AButton;
class ACheckBox;
class ANamePopup;

class AButtonListener {
public:
    // buttons: the view library's bits (1 left, 4 right, 8 Shift, 16 Ctrl, 32 Alt).
    virtual void buttonPressed(AButton* button, int buttons) = 0;
    virtual void buttonReleased(AButton* button) = 0;
};

class ACheckBoxListener {
public:
    virtual void checkBoxChanged(ACheckBox* box, bool checked) = 0;
};

class AAnimListener {
public:
    virtual void animClicked() = 0;
};

class AHitZoneListener {
public:
    virtual void hitZoneClicked(int id) = 0;
};

class AButton : public AComponent {
public:
    // The style may be null for buttons that draw themselves.
    AButton(AButtonStyle* style, InstrumentInterface* instrument);
    ~AButton() override;

    virtual void showNamePopup();
    virtual void hideNamePopup();

    void setMomentary(bool on) { momentary = on; }
    void setListener(AButtonListener* l) { listener = l; }
    void setState(int state);
    int getState() const { return state; }
    void setName(const char* name);
    const std::string& getName() const { return name; }
    // Pairs of images further down the bitmap; -1 counts states only.
    void setVariant(int v) { variant = v; }
    ANamePopup* getNamePopup() const { return popup; }

    void draw(CDrawContext* context, int x, int y) override;
    void idle() override;
    bool mouseMove(int x, int y) override;
    bool mouseDown(int x, int y, int buttons) override;
    bool mouseUp(int x, int y) override;
    bool hoverEnd() override;

protected:
    AButtonStyle* style;
    int state;
    AButtonListener* listener;
    std::string name;
    ANamePopup* popup;
    int variant;
    InstrumentInterface* instrument;
    int64_t hoverStart;  // 0: no hover timer
    bool momentary;
};

class ASwitch : public AComponent, public AParameterReceptor {
public:
    ASwitch(ASwitchStyle* style, InstrumentInterface* instrument, int index);
    ~ASwitch() override;

    virtual void refresh() { invalidate(); }
    // The parameter, or 1 minus it when inverted.
    float getValue();
    void setValue(float value);
    // Any value but 0 inverts; the owner keeps it.
    void setInversion(int value) { inversion = value; }
    int getIndex() const { return index; }
    // The frame the switch shows now.
    int shownFrame();

    void draw(CDrawContext* context, int x, int y) override;
    bool mouseDown(int x, int y, int buttons) override;
    void parameterChanged(int index, float value) override { invalidate(); }
    void setHighlight(float colour) override {}

private:
    int unreversedFrame();

    ASwitchStyle* style;
    InstrumentInterface* instrument;
    int index;
    int inversion;
    bool midiAssignable;
};

class ALamp : public AComponent {
public:
    // A lit lamp stays lit this long at least.
    static const int kHoldMs = 100;

    explicit ALamp(ASwitchStyle* style);
    void setState(int frame);
    int getState() const { return state; }
    void draw(CDrawContext* context, int x, int y) override;
    void idle() override;

private:
    ASwitchStyle* style;
    int state;
    int64_t holdUntil;
    bool pendingOff;
};

class ACheckBox : public AComponent {
public:
    explicit ACheckBox(ACheckBoxListener* listener);
    void setChecked(bool checked);
    bool isChecked() const { return checked; }
    void draw(CDrawContext* context, int x, int y) override;
    bool mouseDown(int x, int y, int buttons) override;

private:
    ACheckBoxListener* listener;
    bool checked;
};

class AAnim : public AComponent {
public:
    AAnim(InstrumentInterface* instrument, CBitmap* strip, int frameWidth, int frameHeight, int frameCount);
    void setRunning(bool running);
    // Stops when running (false); otherwise starts with fresh timing (true).
    bool toggleRunning();
    bool isRunning() const { return running; }
    void setListener(AAnimListener* l) { listener = l; }
    int getCurrentFrame() const { return current; }

    void draw(CDrawContext* context, int x, int y) override;
    void idle() override;
    bool mouseDown(int x, int y, int buttons) override;

private:
    InstrumentInterface* instrument;
    CBitmap* strip;
    int frameWidth, frameHeight, frameCount;
    int current;
    AAnimListener* listener;
    bool running;
    int64_t lastTick;  // -1: none yet
    friend class AAnimTestAccess;
};

class AHitZone : public AComponent {
public:
    AHitZone(int id, AHitZoneListener* listener);
    void draw(CDrawContext*, int, int) override {}
    bool mouseDown(int x, int y, int buttons) override;

private:
    int id;
    AHitZoneListener* listener;
};

// Draws one frame of a film strip (frames stacked vertically) at (x, y).
void drawStripFrame(CBitmap* strip, CDrawContext* context, int x, int y, int width, int height, int frame,
                    bool transparent);
