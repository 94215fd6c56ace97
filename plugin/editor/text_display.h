// A fixed text label.
#pragma once

#include "toolkit/acomponent.h"
#include "toolkit/control_styles.h"

class ADisplay : public AComponent {
public:
    ADisplay(ADisplayStyle* style, const char* text);

    void draw(CDrawContext* context, int x, int y) override;
    const char* getText() const { return text; }

private:
    ADisplayStyle* style;
    char text[256];
};
