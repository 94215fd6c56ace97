// The part strip at the top of the full layout: the eight parts, the four keyboard zones
// and the part buttons that choose the patches the editor shows.
#pragma once

#include "toolkit/acomponent.h"

class VexaGuiInterface;
class VexaInterface;

class VexaPanelMulti : public APanel {
public:
    VexaPanelMulti(VexaInterface* instrument, VexaGuiInterface* gui);
    ~VexaPanelMulti() override;
};
