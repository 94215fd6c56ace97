// The strip across the top 33 rows of the editor: menus and names to browse, rename, store
// and delete banks, sub-banks and presets of the shared tree, import and export, the delay
// and chorus switches, the voices per part, the layout buttons and the MIDI lamp. Changes of
// the tree only raise flags; menus and names are rebuilt at the next idle.
#pragma once

#include <cstdint>
#include <initializer_list>
#include <map>
#include <vector>

#include "editor/vexa_gui_interface.h"
#include "presets/preset_tree.h"
#include "toolkit/gui_interface.h"
#include "vstgui/vstgui.h"

class VexaInterface;

class VexaBar : public CViewContainer,
                public CControlListener,
                public AParameterReceptor,
                public PresetTreeListener,
                public VexaPresetModifListener {
public:
    // Control tags; the menus of the tree share the parameter numbers of the browser.
    enum Tag {
        kStore = 5000,
        kBankName = 5001,
        kSubBankName = 5002,
        kPresetName = 5003,
        kFullLayout = 5004,
        kCompactLayout = 5005,
        kPreviousPreset = 5006,
        kNextPreset = 5007,
        kStoreMenu = 5008,
        kStoreSubBankMenu = 5009,
        kStorePresetMenu = 5010,
        kMidiLamp = 5011,
        kImport = 5012,
        kExport = 5013,
        kChorus = 2041,
        kDelay = 2043,
        kMultiLamp = 2089,
        kBankMenu = 2093,
        kSubBankMenu = 2094,
        kPresetMenu = 2095,
        kVoices = 2096,
    };
    // Names are 1 to 31 characters; the fields hold them with a terminator.
    static const int kNameSize = 32;
    // The MIDI lamp stays lit at least this long.
    static const int kLampMs = 500;

    // The bridges are the editor's VexaInterface and VexaGuiInterface.
    VexaBar(const CRect& size, CFrame* parent, CBitmap* background, InstrumentInterface* instrument,
            GuiInterface* gui);
    ~VexaBar() override;

    void draw(CDrawContext* context) override;
    virtual void drawRectIfReady(CDrawContext* context, const CRect& rect);
    virtual void idle();

    void valueChanged(CDrawContext* context, CControl* control) override;
    long controlModifierClicked(CDrawContext*, CControl*, long) override { return 0; }
    void parameterChanged(int index, float value) override;
    void setHighlight(float) override {}
    void bankListChanged() override { rebuildMenus = true; }
    void subBankListChanged() override { rebuildMenus = true; }
    void presetListChanged() override { rebuildMenus = true; }
    void setModified(int index, float value) override;
    void clearModified() override;
    // The preset was changed from outside the editor: the mark goes, names are read again.
    void presetChanged();

    void buildMenus();
    void refreshNames();
    // 1 to 31 characters, each a letter, a digit or one of & ( ) + - . _
    static bool isValidName(const char* text);

    bool isModified() const { return modified; }
    bool isRebuildPending() const { return rebuildNames || rebuildMenus; }
    bool isLampOn() const { return lampOn; }
    // The controls, by tag (the menus of the current bank and sub-bank); null when absent.
    CControl* getControl(long tag) const;

private:
    // What choosing a menu entry does, recorded as the entry is added.
    struct MenuAction {
        enum Kind {
            kNothing,
            kSelect,          // load (bank, subBank, preset)
            kNewBank,         // the current sound as a new bank
            kNewSubBank,      // ... as a new sub-bank of bank
            kNewPreset,       // ... as a new preset of (bank, subBank)
            kDeleteBank,
            kDeleteSubBank,
            kDeletePreset,
            kStoreAt,  // the current sound to (bank, subBank, preset) of the store menus
        } kind;
        int bank, subBank, preset;
    };
    void buildControls();
    void follow(std::initializer_list<int> indices);
    void releaseMenus();
    COptionMenu* newMenu(long tag, bool store);
    void addEntry(COptionMenu* menu, const char* text, MenuAction action);
    void addSubMenu(COptionMenu* menu, COptionMenu* submenu, const char* text, MenuAction action);
    void runMenuAction(const MenuAction& action);
    void renameFrom(CTextEdit* field);
    void refuse(const char* why);
    static uint64_t nowMs();

    VexaInterface* instrument;
    VexaGuiInterface* gui;
    bool modified;
    // Set by clearModified until the end of the next idle, with the changes that waited for
    // the editor's idle at the clear (index to value): the load's or store's own.
    bool marksHeld;
    std::map<int, float> heldChanges;
    bool rebuildNames;
    bool rebuildMenus;
    char bankName[kNameSize], subBankName[kNameSize], presetName[kNameSize];

    CKickButton* storeButton;
    CTextEdit *bankField, *subBankField, *presetField;
    CKickButton *previousButton, *nextButton, *importButton, *fullButton, *compactButton;
    CMovieBitmap *midiLamp, *multiLamp;
    COptionMenu *voicesMenu, *exportMenu;
    COnOffButton *delayButton, *chorusButton;

    // The tree's menus: the bank and store menus hold the rest as submenus; the current
    // bank's sub-bank menu and the current sub-bank's preset menu are also the bar's views.
    COptionMenu *bankMenu, *storeMenu, *shownSubBankMenu, *shownPresetMenu;
    std::map<const COptionMenu*, std::vector<MenuAction>> menuActions;

    bool lampOn;
    uint64_t lampOffAt;
    // Why a typed name was refused, said at the next idle.
    char pendingRefusal[128];
};
