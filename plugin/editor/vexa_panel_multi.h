// The part strip across the top of the full layout: for each of the eight parts the patch
// it plays, its zone, tuning, level, pan, routing switches and activity lamp; for each of
// the four keyboard zones its channel, key range, mode and arpeggiator. Its part buttons
// choose which patches the rest of the editor edits, its part menus create, copy and paste
// patches, and its multi button closes the strip into the single-patch view.
#pragma once

#include "toolkit/abutton.h"
#include "toolkit/achoice.h"
#include "toolkit/acomponent.h"
#include "toolkit/control_styles.h"
#include "toolkit/gui_interface.h"

class AKnob;
class VexaGuiInterface;
class VexaInterface;

class VexaPanelMulti : public APanel,
                       public AChoiceListener,
                       public AButtonListener,
                       public AParameterReceptor,
                       public AAnimListener {
public:
    static const int kParts = 8;
    static const int kZones = 4;
    // Part menus: the used patches, "New", "Copy" and "Paste" at most.
    static const int kMenuItems = 10;
    // Codes of the item-to-patch map beside the patch numbers 0-7.
    enum ItemCode { kItemNew = -1, kItemPaste = -2, kItemCopy = -3, kItemGreyedPaste = -10 };
    static const int kMultiButtonTag = 8;

    VexaPanelMulti(VexaInterface* instrument, VexaGuiInterface* gui);
    ~VexaPanelMulti() override;

    // Rebuilds the part menus' items and the item-to-patch map from the parts' patches;
    // true when any item changed.
    bool refreshPartMenus();
    // Selects, in part's menu, the item of patch (none when the menu has no such item).
    void selectPatchItem(int part, int patch);
    // Lights each part button (or part's alone) while the patch its part plays is selected.
    void refreshPartButtons(int part);

    void choiceChanged(AChoice* choice, int item) override;
    void buttonPressed(AButton* button, int buttons) override;
    void buttonReleased(AButton*) override {}
    void animClicked() override;
    void parameterChanged(int index, float value) override;
    void setHighlight(float) override {}

    void idle() override;
    // Every group but the lamps and the multi button.
    void setEnabled(bool enabled) override;
    // While closed only the background behind the strip is drawn.
    void draw(CDrawContext* context, int x, int y) override;
    void drawClipped(CDrawContext* context, int x, int y, const CRect& clip) override;
    void drawIfDirty(CDrawContext* context, int x, int y, CRect& drawn) override;

    bool isOpen() const { return open; }
    int itemPatch(int item) const { return item >= 0 && item < kMenuItems ? itemToPatch[item] : kItemGreyedPaste; }
    AChoice* getPartMenu(int part) const { return partMenus[part]; }
    AButton* getPartButton(int part) const { return partButtons[part]; }
    ALamp* getLamp(int part) const { return lamps[part]; }
    AChoice* getZoneChoice(int part) const { return zoneChoices[part]; }
    AKnob* getTransposeKnob(int part) const { return transposeKnobs[part]; }
    AKnob* getDetuneKnob(int part) const { return detuneKnobs[part]; }
    AKnob* getLevelKnob(int part) const { return levelKnobs[part]; }
    AKnob* getPanKnob(int part) const { return panKnobs[part]; }
    ASwitch* getPortamentoSwitch(int part) const { return portamentoSwitches[part]; }
    ASwitch* getRingSwitch(int part) const { return ringSwitches[part]; }
    ASwitch* getEffectsSwitch(int part) const { return effectsSwitches[part]; }
    AChoice* getChannelChoice(int zone) const { return channelChoices[zone]; }
    ARangeChoice* getRangeChoice(int zone) const { return rangeChoices[zone]; }
    AChoice* getModeChoice(int zone) const { return modeChoices[zone]; }
    ASwitch* getArpeggiatorSwitch(int zone) const { return arpeggiatorSwitches[zone]; }
    AButton* getMultiButton() const { return multiButton; }
    AAnim* getAnimation(int i) const { return animations[i]; }

private:
    template <typename T>
    T* place(T* widget, int x, int y);
    template <typename T>
    T* place(T* widget, int x, int y, int width, int height);
    void buildPartRow(int part);
    void buildZoneRow(int zone);
    // The patch that part plays now (its NUM_PATCH_VOIE value), 0-7.
    int partPatch(int part);
    // A part button's click: with Shift the patch joins or leaves the selection (the last
    // one never leaves); without, it becomes the only one.
    void selectPart(int part, bool shift);
    // The items again in every menu, each selecting its part's patch.
    void refillMenus();
    // When the set of patches in use changed: new menus, and only part 0's patch selected.
    bool followPatchesInUse();
    void setOpen(bool on);

    VexaInterface* synth;
    VexaGuiInterface* guiBridge;
    AChoiceStyle menuStyle;
    int itemToPatch[kMenuItems];
    bool open;

    AChoice* zoneChoices[kParts];
    AChoice* partMenus[kParts];
    ALamp* lamps[kParts];
    AButton* partButtons[kParts];
    AKnob* transposeKnobs[kParts];
    AKnob* detuneKnobs[kParts];
    AKnob* levelKnobs[kParts];
    AKnob* panKnobs[kParts];
    ASwitch* portamentoSwitches[kParts];
    ASwitch* ringSwitches[kParts];
    ASwitch* effectsSwitches[kParts];
    AChoice* channelChoices[kZones];
    ARangeChoice* rangeChoices[kZones];
    AChoice* modeChoices[kZones];
    ASwitch* arpeggiatorSwitches[kZones];
    AButton* multiButton;
    AAnim* animations[2];
};
