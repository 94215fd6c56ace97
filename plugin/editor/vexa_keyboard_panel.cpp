#include "editor/vexa_keyboard_panel.h"

#include "core/halvorn.h"
#include "editor/keyboard.h"
#include "editor/knob.h"
#include "editor/ribbon.h"
#include "editor/skin_tables.h"
#include "editor/slider.h"
#include "editor/vexa_interface.h"

namespace {
enum Kind { kKnob, kSlider, kSwitch };

// A widget of the panel: "at x, y" keeps the style's size; a width above 0 gives bounds.
struct Place {
    Kind kind;
    int index, style, x, y;
    int width = 0, height = 0;
};

const Place kPlaces[] = {
    // modulation wheel
    {kKnob, 547, 0, 40, 20},
    {kSwitch, 2092, 9, 30, 43},
    // line mix (refreshed with the selection)
    {kKnob, 48, 3, 70, 19},
    {kKnob, 49, 5, 678, 19},
    // ring modulator
    {kKnob, 500, 5, 99, 19},
    {kKnob, 501, 5, 120, 19},
    {kKnob, 502, 4, 141, 19},
    {kKnob, 503, 3, 162, 19},
    {kKnob, 504, 4, 183, 19},
    {kSwitch, 2106, 13, 183, 9},
    // sub oscillator
    {kSlider, 2040, 8, 233, 9},
    {kKnob, 496, 3, 265, 19},
    {kKnob, 497, 3, 286, 19},
    {kKnob, 498, 7, 307, 19},
    {kKnob, 499, 4, 328, 19},
    // oscillator ranges (refreshed with the selection)
    {kSlider, 1020, 0, 359, 9},
    {kSlider, 1021, 0, 396, 9},
    // brilliance and response
    {kKnob, 505, 7, 699, 19},
    {kKnob, 506, 6, 720, 19},
    {kKnob, 507, 3, 754, 19},
    {kKnob, 508, 3, 775, 19},
    {kKnob, 509, 3, 796, 19},
    {kKnob, 510, 7, 817, 19},
    {kKnob, 511, 7, 851, 19},
    {kKnob, 512, 7, 872, 19},
    {kKnob, 513, 4, 893, 19},
    {kKnob, 514, 4, 914, 19},
    // general level
    {kKnob, 515, 0, 947, 24},
    // arpeggiator
    {kSlider, 2081, 7, 169, 67},
    {kSlider, 2085, 9, 197, 67},
    {kSlider, 2087, 9, 224, 67},
    {kKnob, 2082, 0, 62, 85},
    {kSwitch, 2083, 1, 38, 89},
    {kSwitch, 2086, 1, 94, 89},
    {kSwitch, 2084, 1, 121, 89},
    // effects
    {kKnob, 517, 0, 120, 135},
    {kKnob, 518, 0, 144, 135},
    {kKnob, 519, 0, 173, 135},
    {kKnob, 520, 0, 197, 135},
    {kKnob, 521, 0, 221, 135},
    {kSwitch, 2042, 12, 122, 190},
    {kSwitch, 2041, 10, 145, 190},
    {kSwitch, 2043, 11, 197, 190},
    // pedals and portamento
    {kSlider, 2047, 2, 71, 137},
    {kSlider, 516, 0, 93, 137},
    {kSwitch, 2050, 1, 29, 142, 18, 15},
    {kSwitch, 2051, 1, 29, 157},
    {kSwitch, 2045, 0, 30, 201},
    {kSwitch, 2046, 0, 51, 201},
    {kSwitch, 2048, 0, 73, 201},
    {kSwitch, 2049, 0, 95, 201},
    {kSwitch, 2044, 1, 227, 212},
    // pitch bend
    {kKnob, 2090, 0, 797, 85},
    {kSwitch, 2091, 1, 774, 89},
};

const int kRangeSliders[2] = {1020, 1021};
const int kLineMixKnobs[2] = {48, 49};

const char* const kVoiceNames[VexaKeyboardPanel::kVoiceButtons] = {
    "String 1", "String 3", "Brass 1", "Flute",  "Electric Piano", "Clavichord 1", "Harpsichord 1", "Organ 1",
    "Guitar 1", "Funky 1",  "Funky 3", "Panel",  "String 2",       "String 4",     "Brass 2",       "Brass 3",
    "Bass",     "Clavichord 2", "Harpsichord 2", "Organ 2", "Guitar 2", "Funky 2", "Funky 4", "Panel",
};

const int kPitchBend = 546;
const int kAboutZoneId = 0;

// The indices of a line's settings in one patch: host locals 0-23 (line 1) or 24-47
// (line 2), internal locals 0-9 or 10-19; the same sets the bridge reports as line changes.
int lineSetting(int row, int patch, int i) {
    if (i < 24) return 62 * patch + 24 * row + i;
    return 1000 + 44 * patch + 10 * row + (i - 24);
}
}  // namespace

VexaKeyboardPanel::VexaKeyboardPanel(VexaInterface* instrument, VexaGuiInterface* gui)
    : APanel(instrument, gui), vexa(instrument), vexaGui(gui), keyboard(nullptr), ribbon(nullptr),
      aboutZone(nullptr), loaded{false, false} {
    for (const Place& p : kPlaces) {
        AComponent* widget;
        if (p.kind == kKnob)
            widget = new AKnob(getSkinKnobStyle(p.style), instrument, p.index, -1);
        else if (p.kind == kSlider)
            widget = new ASlider(getSkinSliderStyle(p.style), instrument, p.index);
        else
            widget = new ASwitch(getSkinSwitchStyle(p.style), instrument, p.index);
        if (p.width > 0)
            widget->setBounds(p.x, p.y, p.width, p.height);
        else
            widget->setPosition(p.x, p.y);
        add(widget);
        bound.push_back({p.index, widget});
    }
    for (int i = 0; i < 2; i++) {
        refreshedSliders[i] = static_cast<ASlider*>(widgetFor(kRangeSliders[i]));
        refreshedKnobs[i] = static_cast<AKnob*>(widgetFor(kLineMixKnobs[i]));
    }

    for (int k = 0; k < kVoiceButtons; k++) {
        int row = k / 12, n = k % 12;
        AButton* button = new AButton(getSkinButtonStyle(k + 1), instrument);
        button->setTag(k);
        button->setPosition(439 + 18 * n, 10 + 18 * row);
        button->setName(kVoiceNames[k]);
        button->setListener(this);
        button->setState(n == kPanelButton ? 1 : 0);
        add(button);
        voiceButtons[k] = button;
    }

    keyboard = new AVexaKeyboard(instrument);
    keyboard->setBounds(251, 129, 757, 127);
    add(keyboard);
    ribbon = new ARuban(instrument, gui, kPitchBend);
    ribbon->setBounds(260, 99, 500, 14);
    add(ribbon);
    aboutZone = new AHitZone(kAboutZoneId, this);
    aboutZone->setBounds(850, 76, 120, 40);
    add(aboutZone);

    if (gui) gui->setLineChangeListener(this);
}

// A bridge kept over a close (some hosts keep the editor's window) must not call a deleted
// panel.
VexaKeyboardPanel::~VexaKeyboardPanel() {
    if (vexaGui) vexaGui->setLineChangeListener(nullptr);
    destroyAll();
}

AComponent* VexaKeyboardPanel::widgetFor(int index) const {
    for (const Bound& b : bound)
        if (b.index == index) return b.widget;
    return nullptr;
}

void VexaKeyboardPanel::refresh() {
    for (ASlider* slider : refreshedSliders) slider->refresh();
    for (AKnob* knob : refreshedKnobs) knob->refresh();
}

void VexaKeyboardPanel::buttonPressed(AButton* button, int) {
    int k = button->getTag();
    if (k < 0 || k >= kVoiceButtons) return;
    int row = k / 12, n = k % 12;
    if (n != kPanelButton && vexa) {
        for (int patch = 0; patch < kPatches; patch++)
            if (vexa->isPatchSelected(patch)) vexa->loadFactoryPatch(row, n, patch);
    }
    lightVoiceButton(row, n);
    loaded[row] = n != kPanelButton;
    if (loaded[row]) rememberLine(row);
}

// The load's own changes reach the bridge at the editor's next idle, after the button has
// lit: they leave the line as the load left it, and only a change of it is an edit.
void VexaKeyboardPanel::lineChanged(int line) {
    if (line < 0 || line > 1) return;
    if (loaded[line] && !lineDiffersFromLoad(line)) return;
    loaded[line] = false;
    lightVoiceButton(line, kPanelButton);
}

void VexaKeyboardPanel::hitZoneClicked(int) {
    if (vexaGui) vexaGui->toggleAboutWindow();
}

void VexaKeyboardPanel::showKeyDown(int note) { keyboard->setKeyDown(note, true); }

void VexaKeyboardPanel::showKeyUp(int note) { keyboard->setKeyDown(note, false); }

void VexaKeyboardPanel::lightVoiceButton(int row, int n) {
    for (int i = 0; i < 12; i++) voiceButtons[12 * row + i]->setState(i == n ? 1 : 0);
}

void VexaKeyboardPanel::rememberLine(int row) {
    Halvorn* synth = vexa ? vexa->getSynth() : nullptr;
    for (int patch = 0; patch < kPatches; patch++)
        for (int i = 0; i < kLineValues; i++)
            loadedValues[row][patch][i] = synth ? synth->getParameter(lineSetting(row, patch, i)) : 0.f;
}

bool VexaKeyboardPanel::lineDiffersFromLoad(int row) {
    Halvorn* synth = vexa ? vexa->getSynth() : nullptr;
    if (!synth) return true;
    for (int patch = 0; patch < kPatches; patch++)
        for (int i = 0; i < kLineValues; i++)
            if (synth->getParameter(lineSetting(row, patch, i)) != loadedValues[row][patch][i]) return true;
    return false;
}
