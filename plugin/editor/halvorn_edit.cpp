#include "editor/halvorn_edit.h"

#include "core/halvorn.h"
#include "editor/vexa_bar.h"
#include "editor/vexa_gui_interface.h"
#include "editor/vexa_interface.h"
#include "editor/vexa_panel.h"
#include "toolkit/aframe.h"
#include "toolkit/gui_interface.h"

namespace {
const int kWidth = 1008;
const int kFullHeight = 620;
const int kCompactHeight = 341;
const int kBarHeight = 33;
const int kRootHeight = 600;
const int kBarBackground = 1003;
// Highlight requests travel as parameter changes above this offset.
const int kHighlightOffset = 100000;
// The shared preset tree is checked at every 42nd idle.
const int kTreeCheckInterval = 40;
}  // namespace

// ---------------------------------------------------------------- PendingParameters

PendingParameters::PendingParameters() : any(false) {
    for (int i = 0; i < kSlots; i++) {
        waiting[i].store(false);
        values[i].store(0.f);
    }
}

// The three index spaces one after another: host parameters 0-548, patch internals
// 1000-1351, internal globals 2000-2108.
int PendingParameters::slotOf(int index) {
    if (index >= 0 && index < 549) return index;
    if (index >= 1000 && index < 1352) return 549 + index - 1000;
    if (index >= 2000 && index < 2109) return 549 + 352 + index - 2000;
    return -1;
}

int PendingParameters::indexOf(int slot) {
    if (slot < 549) return slot;
    if (slot < 549 + 352) return slot - 549 + 1000;
    return slot - 549 - 352 + 2000;
}

bool PendingParameters::put(int index, float value) {
    int slot = slotOf(index);
    if (slot < 0) return false;
    values[slot].store(value, std::memory_order_relaxed);
    waiting[slot].store(true, std::memory_order_release);
    any.store(true, std::memory_order_release);
    return true;
}

// ---------------------------------------------------------------- HalvornEdit

HalvornEdit::HalvornEdit(Halvorn* effect)
    : AEffGUIEditor(effect), toolkitFrame(nullptr), instrumentBridge(nullptr), guiBridge(nullptr),
      rootPanel(nullptr), presetBar(nullptr), idleCounter(0), savedLayout(0), layoutPending(false),
      keptFrame(nullptr), presetChangePending(false) {
    rect.top = 0;
    rect.left = 0;
    rect.bottom = kFullHeight;
    rect.right = kWidth;
    for (int i = 0; i < 128; i++) {
        litKeys[i].store(false);
        shownKeys[i] = false;
    }
    BitmapCache::addUser();
}

HalvornEdit::~HalvornEdit() {
    releaseViews();
    delete frame;
    frame = nullptr;
    delete keptFrame;
    keptFrame = nullptr;
    delete instrumentBridge;
    instrumentBridge = nullptr;
    delete guiBridge;
    guiBridge = nullptr;
    BitmapCache::removeUser();
}

Halvorn* HalvornEdit::instrument() const { return static_cast<Halvorn*>(effect); }

// Each view once: through the frame when it holds them, else directly.
void HalvornEdit::releaseViews() {
    if (toolkitFrame) toolkitFrame->detach();
    if (presetBar) {
        if (!frame || !frame->removeView(presetBar, true)) presetBar->forget();
    }
    if (toolkitFrame) {
        if (!frame || !frame->removeView(toolkitFrame, true)) toolkitFrame->forget();
    }
    presetBar = nullptr;
    toolkitFrame = nullptr;
    rootPanel = nullptr;  // the toolkit frame deleted it
    if (guiBridge) static_cast<VexaGuiInterface*>(guiBridge)->setRootPanel(nullptr);
}

bool HalvornEdit::open(void* parentWindow) {
    // Some hosts open again without a close: the editor in that window stays as it is.
    if (frame && frame->isOpen() && parentWindow == systemWindow) return true;
    Halvorn* host = instrument();
    if (!instrumentBridge) instrumentBridge = new VexaInterface(host);
    if (!guiBridge) guiBridge = new VexaGuiInterface();
    instrumentBridge->setGuiInterface(guiBridge);
    guiBridge->setInstrumentInterface(instrumentBridge);

    if (!host->isHostAudioUnitWrapper()) savedLayout = 0;
    systemWindow = parentWindow;

    int x = 0, y = 0;
    host->getEditorOrigin(&x, &y);
    if (host->isHostImageLine()) y = 25;

    delete keptFrame;
    keptFrame = nullptr;
    if (frame) {
        // Open in another window, or the host's window went: the views leave the old frame
        // before it is deleted, and are built anew in the new one.
        releaseViews();
        delete frame;
    }
    int height = savedLayout == 1 ? kCompactHeight : kFullHeight;
    frame = new CFrame(CRect(x, y, x + kWidth, y + height), parentWindow, this);

    if (!toolkitFrame) {
        toolkitFrame =
            new AFrame(CRect(x, y + kBarHeight, x + kWidth, y + kFullHeight), this, 0, 0, CPoint(0, 0), frame);
        rootPanel = new VexaPanel(toolkitFrame, static_cast<VexaInterface*>(instrumentBridge),
                                  static_cast<VexaGuiInterface*>(guiBridge), savedLayout);
        rootPanel->setBounds(0, 0, kWidth, kRootHeight);
        toolkitFrame->setRoot(rootPanel);
        presetBar = new VexaBar(CRect(x, y, x + kWidth, y + kBarHeight), frame, BitmapCache::get(kBarBackground),
                                instrumentBridge, guiBridge);
    }
    toolkitFrame->setHostFrame(frame);
    frame->addView(toolkitFrame);
    frame->addView(presetBar);

    // What changed while the window was closed is read afresh by the views.
    pendingValues.drain([](int, float) {});
    pendingHighlights.drain([](int, float) {});
    for (int i = 0; i < 128; i++) shownKeys[i] = false;
    layoutPending = true;
    return true;
}

void HalvornEdit::close() {
    Halvorn* host = instrument();
    if ((host->isHostProTools() || host->isHostAudioUnitWrapper()) && rootPanel) rootPanel->setLayout(0, false);
    // A layout still pending from an open without idle is dropped.
    layoutPending = false;
    if (!toolkitFrame) return;
    if (rootPanel) savedLayout = rootPanel->getLayout();
    releaseViews();
    if (host->isHostDigitalPerformer()) {
        // That host destroys its window itself: the frame is kept (its window then goes with
        // the host's) and let go at the next open or with the editor; the views, released
        // above, are built anew.
        keptFrame = frame;
        frame = nullptr;
        return;
    }
    delete frame;
    frame = nullptr;
    delete instrumentBridge;
    instrumentBridge = nullptr;
    delete guiBridge;
    guiBridge = nullptr;
}

void HalvornEdit::showPending() {
    GuiInterface* gui = guiBridge;
    VexaBar* bar = presetBar;
    pendingValues.drain([gui, bar](int index, float value) {
        if (gui) gui->parameterChanged(index, value);
        if (bar) bar->setModified(index, value);
    });
    pendingHighlights.drain([gui](int index, float colour) {
        if (gui) gui->highlightParameter(index, colour);
    });
    if (rootPanel) {
        for (int note = 0; note < 128; note++) {
            bool lit = litKeys[note].load(std::memory_order_relaxed);
            if (lit == shownKeys[note]) continue;
            shownKeys[note] = lit;
            if (lit)
                rootPanel->showKeyDown(note);
            else
                rootPanel->showKeyUp(note);
        }
    }
    if (presetChangePending.exchange(false) && presetBar) presetBar->presetChanged();
}

void HalvornEdit::idle() {
    showPending();
    if (toolkitFrame && frame) {
        CPoint where;
        frame->getCurrentLocation(where);
        toolkitFrame->idleAt(where.h, where.v);
    }
    if (presetBar) presetBar->idle();
    // Another instance's change of the shared preset tree: at the 2nd idle, then every 42nd.
    int taken = idleCounter--;
    if (taken < 0) {
        if (gPresetTree) gPresetTree->reloadIfModified();
        idleCounter = kTreeCheckInterval;
    }
    if (layoutPending) {
        layoutPending = false;
        if (rootPanel) rootPanel->setLayout(savedLayout, false);
    }
    AEffGUIEditor::idle();
}

void HalvornEdit::copyPendingValues(std::map<int, float>& out) const {
    pendingValues.peek([&out](int index, float value) { out[index] = value; });
}

void HalvornEdit::setParameter(int index, float value) {
    if (index >= kHighlightOffset)
        pendingHighlights.put(index - kHighlightOffset, value);
    else
        pendingValues.put(index, value);
}

void HalvornEdit::showKeyDown(int note) {
    if (note >= 0 && note < 128) litKeys[note].store(true, std::memory_order_relaxed);
}

void HalvornEdit::showKeyUp(int note) {
    if (note >= 0 && note < 128) litKeys[note].store(false, std::memory_order_relaxed);
}

void HalvornEdit::presetChanged() { presetChangePending.store(true); }
