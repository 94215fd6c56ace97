// The plug-in's editor: a view-library frame in the host's window holding the preset bar
// across the top and the toolkit's frame below it, driven by the host's idle calls.
#pragma once

#include <atomic>
#include <map>

#include "editor/ihalvorn_edit.h"
#include "vstgui/aeffguieditor.h"

class AFrame;
class GuiInterface;
class Halvorn;
class InstrumentInterface;
class VexaBar;
class VexaPanel;

// Parameter values and highlight requests that reach the editor from any thread wait here
// for the next idle, one slot per parameter index: a later value replaces an earlier one.
class PendingParameters {
public:
    PendingParameters();
    // False for an index outside the parameter spaces.
    bool put(int index, float value);
    // Calls see(index, value) for each waiting index; the slots stay as they are.
    template <typename See>
    void peek(See see) const {
        for (int slot = 0; slot < kSlots; slot++)
            if (waiting[slot].load(std::memory_order_acquire))
                see(indexOf(slot), values[slot].load(std::memory_order_relaxed));
    }
    // Calls take(index, value) for each waiting index and empties the slots.
    template <typename Take>
    void drain(Take take) {
        if (!any.exchange(false, std::memory_order_acquire)) return;
        for (int slot = 0; slot < kSlots; slot++)
            if (waiting[slot].exchange(false, std::memory_order_acquire))
                take(indexOf(slot), values[slot].load(std::memory_order_relaxed));
    }

private:
    static const int kSlots = 549 + 352 + 109;
    static int slotOf(int index);
    static int indexOf(int slot);
    std::atomic<bool> any;
    std::atomic<bool> waiting[kSlots];
    std::atomic<float> values[kSlots];
};

class HalvornEdit : public AEffGUIEditor, public CControlListener, public IHalvornEdit {
public:
    explicit HalvornEdit(Halvorn* effect);
    ~HalvornEdit() override;

    bool open(void* parentWindow) override;
    void close() override;
    void idle() override;
    bool onKeyDown(VstKeyCode& keyCode) override { return AEffGUIEditor::onKeyDown(keyCode); }
    // Any thread: waits for the next idle (index >= 100000 asks for a highlight).
    void setParameter(int index, float value) override;

    void valueChanged(CDrawContext* context, CControl* control) override {}
    long controlModifierClicked(CDrawContext* context, CControl* control, long button) override { return 0; }

    // Any thread: these only record; the next idle shows them.
    void showKeyDown(int note) override;
    void showKeyUp(int note) override;
    void presetChanged() override;

    bool isKeyLit(int note) const { return note >= 0 && note < 128 && litKeys[note].load(); }
    // Open state, for the host's tests and the panels.
    AFrame* getToolkitFrame() const { return toolkitFrame; }
    VexaPanel* getRootPanel() const { return rootPanel; }
    VexaBar* getPresetBar() const { return presetBar; }
    GuiInterface* getGuiInterface() const { return guiBridge; }
    InstrumentInterface* getInstrumentInterface() const { return instrumentBridge; }
    int getIdleCounter() const { return idleCounter; }
    // The parameter changes waiting for the next idle, index to value.
    void copyPendingValues(std::map<int, float>& out) const;
    int getSavedLayout() const { return savedLayout; }

private:
    Halvorn* instrument() const;
    void releaseViews();
    void showPending();

    AFrame* toolkitFrame;
    InstrumentInterface* instrumentBridge;
    GuiInterface* guiBridge;
    VexaPanel* rootPanel;
    VexaBar* presetBar;
    int idleCounter;
    int savedLayout;
    bool layoutPending;
    // A frame kept from a close under a host that destroys its window itself.
    CFrame* keptFrame;

    PendingParameters pendingValues, pendingHighlights;
    std::atomic<bool> litKeys[128];
    bool shownKeys[128];
    std::atomic<bool> presetChangePending;
};

// Creates the editor of a plug-in object; null when it cannot be created.
HalvornEdit* createHalvornEdit(Halvorn* effect);
