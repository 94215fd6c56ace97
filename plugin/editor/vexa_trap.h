// The cover over the modulation rows: seven frames from closed (0) to open (6), the root
// panel steps it one frame per idle.
#pragma once

#include "toolkit/acomponent.h"

class VexaTrap : public AComponent {
public:
    static constexpr unsigned kOpenFrame = 6;

    VexaTrap();

    // Stores the frame (above 6 taken as 6) and redraws.
    void setFrame(unsigned frame);
    unsigned getFrame() const { return frame; }
    void draw(CDrawContext* context, int x, int y) override;

private:
    unsigned frame;
};
