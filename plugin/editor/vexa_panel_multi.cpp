#include "editor/vexa_panel_multi.h"

#include <cstdio>
#include <cstring>

#include "editor/knob.h"
#include "editor/skin_tables.h"
#include "editor/vexa_gui_interface.h"
#include "editor/vexa_interface.h"
#include "toolkit/aframe.h"

namespace {
// NUM_PATCH_VOIE1-8: the patch each part plays.
const int kPartPatch = 2000;
const int kPartZone = 2008;
const int kPartPortamento = 2016;
const int kPartRing = 2024;
const int kPartEffects = 2032;
const int kPartTranspose = 2052;
const int kPartPan = 522;
const int kPartLevel = 530;
const int kPartDetune = 538;
// The ZONEn keys: channel, low key, high key, mode, arpeggiator, five apart.
const int kZoneChannel = 2061;
const int kZoneStride = 5;
// TRAPPE_MULTI: 0 multi view, patch + 1 the single-patch view.
const int kMultiShown = 2089;
// The view library's Shift bit in a press's buttons.
const int kShiftBit = 8;

const int kAnimationBitmap = 1005;
const int kAnimationSize = 63;
const int kAnimationFrames = 12;

const CColor kMenuColour = {0, 230, 0, 255};
const CColor kMenuDisabledColour = {0, 128, 0, 255};

// Columns of the part rows, left block (parts 0-3) and right block (parts 4-7).
struct Column {
    int left, right;
};
const Column kZoneX = {95, 426}, kMenuX = {129, 460}, kLampX = {164, 495}, kButtonX = {188, 519},
             kTransposeX = {210, 542}, kDetuneX = {241, 572}, kLevelX = {271, 602}, kPanX = {301, 632},
             kPortamentoX = {332, 664}, kRingX = {359, 691}, kEffectsX = {386, 718};

int rowY(int part) { return 47 + 22 * (part % 4); }
}  // namespace

VexaPanelMulti::VexaPanelMulti(VexaInterface* instrument, VexaGuiInterface* gui)
    : APanel(instrument, gui), synth(instrument), guiBridge(gui), open(true) {
    for (int& code : itemToPatch) code = kItemGreyedPaste;
    menuStyle.init(kMenuItems, kNormalFont, 12, 0, kMenuColour, kMenuDisabledColour, nullptr);
    refreshPartMenus();
    for (int part = 0; part < kParts; part++) buildPartRow(part);
    for (int zone = 0; zone < kZones; zone++) buildZoneRow(zone);

    multiButton = place(new AButton(getSkinButtonStyle(26), instrument), 29, 115, 15, 13);
    multiButton->setTag(kMultiButtonTag);
    multiButton->setListener(this);
    const int animationX[2] = {20, 925};
    for (int i = 0; i < 2; i++) {
        animations[i] = place(new AAnim(instrument, BitmapCache::get(kAnimationBitmap), kAnimationSize,
                                        kAnimationSize, kAnimationFrames),
                              animationX[i], 46, kAnimationSize, kAnimationSize);
        animations[i]->setListener(this);
    }
    refreshPartButtons(-1);

    if (gui) {
        for (int part = 0; part < kParts; part++) gui->addReceptor(kPartPatch + part, this);
        gui->addReceptor(kMultiShown, this);
    }
    setOpen(!(instrument && instrument->getParameter(kMultiShown) > 0.5f));
}

VexaPanelMulti::~VexaPanelMulti() {
    if (guiBridge) {
        for (int part = 0; part < kParts; part++) guiBridge->removeReceptor(kPartPatch + part, this);
        guiBridge->removeReceptor(kMultiShown, this);
    }
    destroyAll();
    // The style frees as many item buffers as it counts.
    menuStyle.count = kMenuItems;
}

template <typename T>
T* VexaPanelMulti::place(T* widget, int px, int py) {
    widget->setPosition(px, py);
    add(widget);
    return widget;
}

template <typename T>
T* VexaPanelMulti::place(T* widget, int px, int py, int w, int h) {
    widget->setBounds(px, py, w, h);
    add(widget);
    return widget;
}

void VexaPanelMulti::buildPartRow(int part) {
    bool right = part >= 4;
    auto at = [right](const Column& c) { return right ? c.right : c.left; };
    int y = rowY(part);

    zoneChoices[part] = place(new AChoice(getSkinChoiceStyle(2), synth, kPartZone + part), at(kZoneX), y, 27, 14);
    // A listener's choice: the item position is not the patch number, the map is.
    partMenus[part] = place(new AChoice(&menuStyle, this), at(kMenuX), y, 27, 14);
    partMenus[part]->setTag(kPartPatch + part);
    selectPatchItem(part, partPatch(part));
    lamps[part] = place(new ALamp(getSkinSwitchStyle(4)), at(kLampX), y - 2);
    partButtons[part] = place(new AButton(getSkinButtonStyle(0), synth), at(kButtonX), y - 1);
    partButtons[part]->setTag(part);
    partButtons[part]->setListener(this);
    AKnobStyle* knob = getSkinKnobStyle(0);
    transposeKnobs[part] = place(new AKnob(knob, synth, kPartTranspose + part, -1), at(kTransposeX), y - 8);
    detuneKnobs[part] = place(new AKnob(knob, synth, kPartDetune + part, -1), at(kDetuneX), y - 8);
    levelKnobs[part] = place(new AKnob(knob, synth, kPartLevel + part, -1), at(kLevelX), y - 8);
    panKnobs[part] = place(new AKnob(knob, synth, kPartPan + part, -1), at(kPanX), y - 8);
    ASwitchStyle* toggle = getSkinSwitchStyle(5);
    portamentoSwitches[part] = place(new ASwitch(toggle, synth, kPartPortamento + part), at(kPortamentoX), y - 1);
    ringSwitches[part] = place(new ASwitch(toggle, synth, kPartRing + part), at(kRingX), y - 1);
    effectsSwitches[part] = place(new ASwitch(toggle, synth, kPartEffects + part), at(kEffectsX), y - 1);
}

void VexaPanelMulti::buildZoneRow(int zone) {
    int y = 46 + 22 * zone;
    int base = kZoneChannel + kZoneStride * zone;
    channelChoices[zone] = place(new AChoice(getSkinChoiceStyle(3), synth, base), 765, y, 24, 14);
    rangeChoices[zone] = place(new ARangeChoice(synth, base + 1, base + 2), 799, y, 42, 14);
    modeChoices[zone] = place(new AChoice(getSkinChoiceStyle(5), synth, base + 3), 851, y, 42, 14);
    arpeggiatorSwitches[zone] = place(new ASwitch(getSkinSwitchStyle(5), synth, base + 4), 904, y);
}

int VexaPanelMulti::partPatch(int part) {
    int patch = synth ? (int)synth->getParameter(kPartPatch + part) : 0;
    return patch < 0 ? 0 : patch > 7 ? 7 : patch;
}

// ---------------------------------------------------------------- part menus

bool VexaPanelMulti::refreshPartMenus() {
    char texts[kMenuItems][AChoiceStyle::kItemSize];
    int codes[kMenuItems];
    int count = 0;
    int used = 0;
    for (int patch = 0; patch < kParts; patch++) {
        if (!synth || !synth->isPatchInUse(patch)) continue;
        snprintf(texts[count], sizeof texts[count], "%d", patch + 1);
        codes[count++] = patch;
        used++;
    }
    auto add = [&](const char* text, int code) {
        snprintf(texts[count], sizeof texts[count], "%s", text);
        codes[count++] = code;
    };
    if (used < kParts) add("New", kItemNew);
    add("Copy", kItemCopy);
    if (used < kParts) {
        if (synth && synth->hasCopiedPatch())
            add("Paste", kItemPaste);
        else
            add("-GPaste", kItemGreyedPaste);  // the menu's prefix of a greyed entry
    }

    bool changed = count != menuStyle.count;
    for (int i = 0; i < count && !changed; i++)
        changed = codes[i] != itemToPatch[i] || strcmp(texts[i], menuStyle.getItem(i)) != 0;
    if (!changed) return false;
    menuStyle.count = kMenuItems;
    for (int i = 0; i < kMenuItems; i++) {
        menuStyle.setItem(i, i < count ? texts[i] : "");
        itemToPatch[i] = i < count ? codes[i] : kItemGreyedPaste;
    }
    menuStyle.count = count;
    return true;
}

void VexaPanelMulti::selectPatchItem(int part, int patch) {
    if (part < 0 || part >= kParts || !partMenus[part]) return;
    for (int i = 0; i < menuStyle.count; i++)
        if (itemToPatch[i] == patch) {
            partMenus[part]->select(i);
            return;
        }
}

void VexaPanelMulti::refillMenus() {
    for (int part = 0; part < kParts; part++) {
        partMenus[part]->fillMenu();
        selectPatchItem(part, partPatch(part));
        partMenus[part]->invalidate();
    }
}

bool VexaPanelMulti::followPatchesInUse() {
    if (!refreshPartMenus()) return false;
    refillMenus();
    selectPart(0, false);
    return true;
}

void VexaPanelMulti::choiceChanged(AChoice* choice, int item) {
    int part = choice->getTag() - kPartPatch;
    if (part < 0 || part >= kParts || !synth) return;
    int code = itemPatch(item);
    if (code >= 0) {
        synth->setParameter(kPartPatch + part, (float)code);
        // The patch it played may be free now; the menus say so at once.
        refreshPartMenus();
        refillMenus();
    } else if (code == kItemNew || code == kItemPaste) {
        int patch = synth->allocatePatch(part);
        if (patch >= 0) {
            if (code == kItemPaste) synth->pastePatch(patch);
            synth->setParameter(kPartPatch + part, (float)patch);
        }
        refreshPartMenus();
        refillMenus();
    } else if (code == kItemCopy) {
        // The patch the part plays, not the part's own number.
        synth->copyPatch(partPatch(part));
        refreshPartMenus();
        refillMenus();
    }
    selectPart(part, false);
}

// ---------------------------------------------------------------- patch selection

void VexaPanelMulti::selectPart(int part, bool shift) {
    if (!guiBridge) return;
    int patch = partPatch(part);
    if (shift) {
        if (guiBridge->isPatchSelected(patch)) {
            // The last selected patch stays.
            if (guiBridge->getNbSelectedPatches() == 1) return;
            guiBridge->setPatchSelected(patch, false);
        } else {
            guiBridge->setPatchSelected(patch, true);
        }
    } else {
        for (int p = 0; p < kParts; p++) guiBridge->setPatchSelected(p, false);
        guiBridge->setPatchSelected(patch, true);
    }
    refreshPartButtons(-1);
}

void VexaPanelMulti::refreshPartButtons(int part) {
    for (int n = 0; n < kParts; n++) {
        if (part >= 0 && n != part) continue;
        bool lit = guiBridge && guiBridge->isPatchSelected(partPatch(n));
        partButtons[n]->setState(lit ? 1 : 0);
    }
}

void VexaPanelMulti::buttonPressed(AButton* button, int buttons) {
    int tag = button->getTag();
    if (tag >= 0 && tag < kParts) {
        selectPart(tag, (buttons & kShiftBit) != 0);
        return;
    }
    if (button != multiButton || !synth) return;
    if (multiButton->getState()) {
        multiButton->setState(0);
        // With no part lit (a selected patch that no part plays) part 0 stands in.
        int part = 0;
        for (int n = 0; n < kParts; n++)
            if (partButtons[n]->getState()) {
                part = n;
                break;
            }
        selectPart(part, false);
        synth->setParameter(kMultiShown, (float)(partPatch(part) + 1));
    } else {
        multiButton->setState(1);
        synth->setParameter(kMultiShown, 0.f);
    }
}

void VexaPanelMulti::animClicked() {
    bool running = animations[0]->toggleRunning();
    animations[1]->setRunning(running);
}

void VexaPanelMulti::parameterChanged(int index, float value) {
    if (index >= kPartPatch && index < kPartPatch + kParts) {
        if (!followPatchesInUse()) selectPatchItem(index - kPartPatch, (int)value);
    } else if (index == kMultiShown) {
        setOpen(!(value > 0.5f));
    }
}

// ---------------------------------------------------------------- open and closed

void VexaPanelMulti::setOpen(bool on) {
    multiButton->setState(on ? 1 : 0);
    setEnabled(on);
    open = on;
    invalidate();
}

void VexaPanelMulti::setEnabled(bool on) {
    for (AComponent* child : children()) {
        if (child == multiButton) continue;
        if (dynamic_cast<ALamp*>(child)) continue;
        child->setEnabled(on);
    }
    invalidate();
}

void VexaPanelMulti::idle() {
    // Lamps follow the parts' voices while the strip is closed too.
    for (int part = 0; part < kParts; part++) lamps[part]->setState(synth && synth->getPartActivity(part) ? 1 : 0);
    // The GUI bridge passes a change of part n's patch on only while patch n is selected:
    // the others are caught here, so that menus and buttons never show a stale patch.
    if (!followPatchesInUse())
        for (int part = 0; part < kParts; part++) selectPatchItem(part, partPatch(part));
    refreshPartButtons(-1);
    APanel::idle();
}

namespace {
// A closed strip draws none of its children: their pending redraws are dropped.
void markChildrenClean(const std::vector<AComponent*>& list) {
    for (AComponent* child : list) child->setClean(true);
}
}  // namespace

void VexaPanelMulti::draw(CDrawContext* context, int px, int py) {
    if (open) {
        APanel::draw(context, px, py);
        return;
    }
    drawBackground(context, CRect(px, py, px + width, py + height), CPoint(0, 0), 255);
    markChildrenClean(children());
}

void VexaPanelMulti::drawClipped(CDrawContext* context, int px, int py, const CRect& clip) {
    if (open) {
        APanel::drawClipped(context, px, py, clip);
        return;
    }
    context->setClipRect(clip);
    drawBackground(context, clip, CPoint(clip.left - px, clip.top - py), 255);
    markChildrenClean(children());
}

void VexaPanelMulti::drawIfDirty(CDrawContext* context, int px, int py, CRect& drawn) {
    if (open) {
        APanel::drawIfDirty(context, px, py, drawn);
        return;
    }
    drawn = kNoRect;
    if (!clean) {
        clean = true;
        draw(context, px, py);
        drawn = CRect(px, py, px + width, py + height);
    } else if (!pendingDirty.isEmpty()) {
        CRect area = pendingDirty;
        area.offset(px, py);
        drawClipped(context, px, py, area);
    }
    pendingDirty = kNoRect;
    markChildrenClean(children());
}
