// What the plug-in object tells its editor from either thread; the editor only records it.
#pragma once

class IHalvornEdit {
public:
    virtual void showKeyDown(int note) = 0;
    virtual void showKeyUp(int note) = 0;
    virtual void presetChanged() = 0;
};
