// What knobs and sliders share: the parameter registrations, the value popup that opens
// after a second of hovering (or on a press), the highlight frame and the mixed state of
// the selected patches.
#pragma once

#include <cstdint>

#include "toolkit/acomponent.h"
#include "toolkit/gui_interface.h"

// Highlight frame colours by index: red, yellow, green, blue.
void drawHighlightFrame(CDrawContext* context, int colourIndex, const CRect& rect);
// Opens popup beside control: right of it when the control lies in the left half, else
// left; below when it lies in the upper part, else above.
void placeValuePopup(AComponent* control, AWindow* popup);

class AValueControl : public AComponent, public AParameterReceptor {
public:
    // Registers for index and, when secondIndex >= 0, for secondIndex.
    AValueControl(InstrumentInterface* instrument, int index, int secondIndex);
    // Unregisters, so that a bridge kept over a close never calls a deleted widget.
    ~AValueControl() override;

    virtual void refresh() = 0;
    virtual void showValuePopup();
    virtual void hideValuePopup();

    void idle() override;
    bool mouseMove(int x, int y) override;
    bool hoverEnd() override;
    void setHighlight(float colour) override;

    bool isMixed() const { return mixed; }
    AWindow* getValuePopup() const { return popup; }

protected:
    // The first selected patch's value of index, and whether the selected patches differ;
    // invalidates when that changed.
    float readMixed(int index);
    void drawHighlight(CDrawContext* context, int x, int y);
    // Edit brackets: the endEdit owed for a beginEdit (a Ctrl-click begins none).
    void beginEditOf(int index);
    void endEditOf(int index);

    InstrumentInterface* instrument;
    int index, secondIndex;
    bool mixed;
    bool midiAssignable;
    int64_t hoverStart;  // 0 while no hover timer runs
    int highlight;
    AWindow* popup;

private:
    bool editOpen;
};
