#include "editor/vexa_bar.h"

#include <cstdio>
#include <cstring>

#include "editor/halvorn_edit.h"
#include "editor/vexa_interface.h"
#include "presets/file_io.h"
#include "toolkit/aframe.h"

namespace {

// Menu styles: no text of their own; the tree's menus check their current entry.
const long kNoTextMenu = CControl::kNoTextStyle;
const long kCheckedMenu = CControl::kNoTextStyle | CControl::kCheckStyle | CControl::kShadowText;

const CColor kBlack = {0, 0, 0, 255};
const CColor kGreen = {0, 255, 0, 255};
const CColor kDarkGreen = {0, 125, 0, 255};

// Rectangles (left, top, right, bottom) in bar coordinates.
const CRect kStoreRect(6, 5, 50, 32);
const CRect kStoreMenuRect(50, 5, 93, 32);
const CRect kBankMenuRect(99, 5, 142, 32);
const CRect kBankFieldRect(147, 9, 250, 27);
const CRect kSubBankMenuRect(260, 5, 303, 32);
const CRect kSubBankFieldRect(308, 9, 411, 27);
const CRect kPresetMenuRect(421, 5, 464, 32);
const CRect kPresetFieldRect(469, 9, 572, 27);
const CRect kPreviousRect(577, 5, 592, 18);
const CRect kNextRect(577, 19, 592, 32);
const CRect kImportRect(598, 5, 641, 32);
const CRect kExportRect(642, 5, 685, 32);
const CRect kMidiLampRect(691, 15, 734, 33);
const CRect kDelayRect(751, 5, 794, 32);
const CRect kChorusRect(795, 5, 838, 32);
const CRect kMultiLampRect(844, 5, 887, 15);
const CRect kVoicesRect(851, 15, 879, 26);
const CRect kFullRect(914, 5, 957, 32);
const CRect kCompactRect(958, 5, 1001, 32);

const char kRefusedCaption[] = "Name refused";
const char kInvalidName[] = "A name has 1 to 31 characters, each a letter, a digit or one of & ( ) + - . _";

// A tree name into a field buffer, never past its 31 characters.
void boundName(char* name) { name[VexaBar::kNameSize - 1] = 0; }

}  // namespace

VexaBar::VexaBar(const CRect& size, CFrame* parent, CBitmap* background, InstrumentInterface* instrumentBridge,
                 GuiInterface* guiBridge)
    : CViewContainer(size, parent, background), instrument(static_cast<VexaInterface*>(instrumentBridge)),
      gui(static_cast<VexaGuiInterface*>(guiBridge)), modified(false), marksHeld(false), rebuildNames(false), rebuildMenus(false),
      storeButton(nullptr), bankField(nullptr), subBankField(nullptr), presetField(nullptr), previousButton(nullptr),
      nextButton(nullptr), importButton(nullptr), fullButton(nullptr), compactButton(nullptr), midiLamp(nullptr),
      multiLamp(nullptr), voicesMenu(nullptr), exportMenu(nullptr), delayButton(nullptr), chorusButton(nullptr),
      bankMenu(nullptr), storeMenu(nullptr), shownSubBankMenu(nullptr), shownPresetMenu(nullptr), lampOn(false),
      lampOffAt(0) {
    bankName[0] = subBankName[0] = presetName[0] = 0;
    pendingRefusal[0] = 0;
    buildControls();
    if (instrument) instrument->addPresetTreeListener(this);
    if (gui) gui->setPresetModifListener(this);
}

VexaBar::~VexaBar() {
    if (instrument) instrument->removePresetTreeListener(this);
    if (gui) {
        // The bridge may outlive the bar (a host that keeps it over a close).
        gui->setPresetModifListener(nullptr);
        for (int index : {kVoices, kMultiLamp, kDelay, kChorus}) gui->removeReceptor(index, this);
    }
    releaseMenus();
    removeAll(true);
}

uint64_t VexaBar::nowMs() { return GetTickCount64(); }

// ---------------------------------------------------------------- construction

void VexaBar::buildControls() {
    storeButton = new CKickButton(kStoreRect, this, kStore, BitmapCache::get(129));
    addView(storeButton);

    CTextEdit** fields[3] = {&bankField, &subBankField, &presetField};
    const CRect rects[3] = {kBankFieldRect, kSubBankFieldRect, kPresetFieldRect};
    const char* initial[3] = {"Bank", "SubBank", "Preset"};
    for (int i = 0; i < 3; i++) {
        CTextEdit* field = new CTextEdit(rects[i], this, kBankName + i, initial[i], BitmapCache::get(134));
        field->setFont(kNormalFontSmall);
        field->setFontColor(kBlack);
        addView(field);
        *fields[i] = field;
    }
    buildMenus();
    refreshNames();

    previousButton = new CKickButton(kPreviousRect, this, kPreviousPreset, BitmapCache::get(147));
    addView(previousButton);
    nextButton = new CKickButton(kNextRect, this, kNextPreset, BitmapCache::get(146));
    addView(nextButton);
    midiLamp = new CMovieBitmap(kMidiLampRect, this, kMidiLamp, 2, 18, BitmapCache::get(148));
    addView(midiLamp);
    multiLamp = new CMovieBitmap(kMultiLampRect, this, kMultiLamp, 2, 10, BitmapCache::get(149));
    addView(multiLamp);

    voicesMenu = new COptionMenu(kVoicesRect, this, kVoices, BitmapCache::get(134), BitmapCache::get(134), 0);
    voicesMenu->setFont(kNormalFontSmall);
    voicesMenu->setFontColor(kGreen);
    for (const char* entry : {"x1", "x2", "x3", "x4"}) voicesMenu->addEntry(entry);
    addView(voicesMenu);
    follow({kVoices, kMultiLamp});

    fullButton = new CKickButton(kFullRect, this, kFullLayout, BitmapCache::get(142));
    addView(fullButton);
    compactButton = new CKickButton(kCompactRect, this, kCompactLayout, BitmapCache::get(143));
    addView(compactButton);

    delayButton = new COnOffButton(kDelayRect, this, kDelay, BitmapCache::get(144));
    chorusButton = new COnOffButton(kChorusRect, this, kChorus, BitmapCache::get(145));
    follow({kDelay, kChorus});
    addView(delayButton);
    addView(chorusButton);

    importButton = new CKickButton(kImportRect, this, kImport, BitmapCache::get(139));
    addView(importButton);
    exportMenu = new COptionMenu(kExportRect, this, kExport, BitmapCache::get(140), BitmapCache::get(141), kNoTextMenu);
    for (const char* entry : {"Bank", "Subbank", "Preset"}) exportMenu->addEntry(entry);
    addView(exportMenu);
}

// Shows the parameters' current values and hears of their changes from then on.
void VexaBar::follow(std::initializer_list<int> indices) {
    for (int index : indices) {
        if (instrument) parameterChanged(index, instrument->getParameter(index));
        if (gui) gui->addReceptor(index, this);
    }
}

// ---------------------------------------------------------------- menus

COptionMenu* VexaBar::newMenu(long tag, bool store) {
    switch (tag) {
        case kBankMenu:
            return new COptionMenu(kBankMenuRect, this, tag, BitmapCache::getTransparent(132),
                                   BitmapCache::getTransparent(133), kCheckedMenu);
        case kSubBankMenu:
            return new COptionMenu(kSubBankMenuRect, this, tag, BitmapCache::get(135), BitmapCache::get(136),
                                   kCheckedMenu);
        case kPresetMenu:
            return new COptionMenu(kPresetMenuRect, this, tag, BitmapCache::get(137), BitmapCache::get(138),
                                   kCheckedMenu);
        case kStoreMenu:
            return new COptionMenu(kStoreMenuRect, this, tag, BitmapCache::get(130), BitmapCache::get(131),
                                   kNoTextMenu);
        default:  // the store menu's submenus are never shown on their own
            return new COptionMenu(kStoreMenuRect, this, tag, nullptr, nullptr, store ? kNoTextMenu : 0);
    }
}

void VexaBar::addEntry(COptionMenu* menu, const char* text, MenuAction action) {
    if (menu->addEntry(text)) menuActions[menu].push_back(action);
}

// The menu takes the caller's hold on the submenu.
void VexaBar::addSubMenu(COptionMenu* menu, COptionMenu* submenu, const char* text, MenuAction action) {
    if (menu->addEntry(submenu, text)) menuActions[menu].push_back(action);
    submenu->forget();
}

void VexaBar::releaseMenus() {
    for (COptionMenu** shown : {&storeMenu, &bankMenu, &shownSubBankMenu, &shownPresetMenu}) {
        if (*shown) removeView(*shown, true);
    }
    // The bank and store menus hold the others.
    if (storeMenu) storeMenu->forget();
    if (bankMenu) bankMenu->forget();
    storeMenu = bankMenu = shownSubBankMenu = shownPresetMenu = nullptr;
    menuActions.clear();
}

// Each entry's action is recorded with it, so that a choice never depends on where the
// separators and the user banks happen to fall.
void VexaBar::buildMenus() {
    releaseMenus();
    if (!instrument) return;
    const MenuAction none = {MenuAction::kNothing, 0, 0, 0};
    bankMenu = newMenu(kBankMenu, false);
    storeMenu = newMenu(kStoreMenu, true);

    const int banks = instrument->getNbBanks();
    const int currentBank = instrument->getBankIndex();
    const int currentSubBank = instrument->getSubBankIndex();
    const int currentPreset = instrument->getPresetIndex();
    int userBanks = 0;
    char name[kNameSize];
    char entry[kNameSize + 32];

    for (int b = 0; b < banks; b++) {
        const bool user = instrument->isUserBank(b);
        const int subBanks = instrument->getNbSubBanks(b);
        COptionMenu* subMenu = newMenu(kSubBankMenu, false);
        COptionMenu* storeSubMenu = user ? newMenu(kStoreSubBankMenu, true) : nullptr;
        for (int s = 0; s < subBanks; s++) {
            const int presets = instrument->getNbPresets(b, s);
            COptionMenu* presetMenu = newMenu(kPresetMenu, false);
            COptionMenu* storePresetMenu = user ? newMenu(kStorePresetMenu, true) : nullptr;
            for (int p = 0; p < presets; p++) {
                instrument->getPresetName(name, p, b, s);
                boundName(name);
                addEntry(presetMenu, name, {MenuAction::kSelect, b, s, p});
                if (storePresetMenu) addEntry(storePresetMenu, name, {MenuAction::kStoreAt, b, s, p});
            }
            const bool current = b == currentBank && s == currentSubBank;
            if (user) {
                addEntry(presetMenu, "-", none);
                addEntry(presetMenu, "New preset ...", {MenuAction::kNewPreset, b, s, 0});
                if (current && presets > 1) {
                    instrument->getPresetName(name, currentPreset, b, s);
                    boundName(name);
                    std::snprintf(entry, sizeof entry, "Delete preset \"%s\"", name);
                    addEntry(presetMenu, "-", none);
                    addEntry(presetMenu, entry, {MenuAction::kDeletePreset, b, s, currentPreset});
                }
                // The empty entry and "New preset ..." both store a new preset.
                addEntry(storePresetMenu, "", {MenuAction::kStoreAt, b, s, presets});
                addEntry(storePresetMenu, "New preset ...", {MenuAction::kStoreAt, b, s, presets});
            }
            if (current) {
                presetMenu->checkEntry(currentPreset, true);
                presetMenu->remember();
                shownPresetMenu = presetMenu;
            }
            instrument->getSubBankName(name, s, b);
            boundName(name);
            addSubMenu(subMenu, presetMenu, name, none);
            if (storeSubMenu) addSubMenu(storeSubMenu, storePresetMenu, name, none);
        }
        if (user) {
            addEntry(subMenu, "-", none);
            addEntry(subMenu, "New subbank ...", {MenuAction::kNewSubBank, b, 0, 0});
            if (b == currentBank && subBanks > 1) {
                instrument->getSubBankName(name, currentSubBank, b);
                boundName(name);
                std::snprintf(entry, sizeof entry, "Delete sub bank \"%s\"", name);
                addEntry(subMenu, "-", none);
                addEntry(subMenu, entry, {MenuAction::kDeleteSubBank, b, currentSubBank, 0});
            }
            addEntry(storeSubMenu, "", none);
            addEntry(storeSubMenu, "New subbank ...", {MenuAction::kStoreAt, b, subBanks, 0});
        }
        if (b == currentBank) {
            subMenu->checkEntry(currentSubBank, true);
            subMenu->remember();
            shownSubBankMenu = subMenu;
        }
        // Separators before the first user bank and before the merged bank, the last.
        if ((user && userBanks == 0) || b == banks - 1) addEntry(bankMenu, "-", none);
        if (user) userBanks++;
        instrument->getBankName(name, b);
        boundName(name);
        addSubMenu(bankMenu, subMenu, name, none);
        if (b == currentBank) bankMenu->checkEntry(bankMenu->getNbEntries() - 1, true);
        if (storeSubMenu) addSubMenu(storeMenu, storeSubMenu, name, none);
    }

    addEntry(bankMenu, "-", none);
    addEntry(bankMenu, "New bank ...", {MenuAction::kNewBank, 0, 0, 0});
    if (instrument->isUserBank(currentBank) && userBanks >= 2) {
        instrument->getBankName(name, currentBank);
        boundName(name);
        std::snprintf(entry, sizeof entry, "Delete bank \"%s\"", name);
        addEntry(bankMenu, "-", none);
        addEntry(bankMenu, entry, {MenuAction::kDeleteBank, currentBank, 0, 0});
    }
    addEntry(storeMenu, "-", none);
    addEntry(storeMenu, "New bank ...", {MenuAction::kStoreAt, banks, 0, 0});

    storeMenu->remember();
    addView(storeMenu);
    bankMenu->remember();
    addView(bankMenu);
    if (shownSubBankMenu) addView(shownSubBankMenu);
    if (shownPresetMenu) addView(shownPresetMenu);
}

void VexaBar::runMenuAction(const MenuAction& action) {
    switch (action.kind) {
        case MenuAction::kNothing: return;
        case MenuAction::kSelect:
            if (action.bank == instrument->getBankIndex() && action.subBank == instrument->getSubBankIndex() &&
                action.preset == instrument->getPresetIndex())
                return;
            instrument->selectBank(action.bank, action.subBank, action.preset);
            break;
        case MenuAction::kNewBank: instrument->saveAsNewBank(); break;
        case MenuAction::kNewSubBank: instrument->saveAsNewSubBank(action.bank); break;
        case MenuAction::kNewPreset: instrument->saveAsNewPreset(action.bank, action.subBank); break;
        case MenuAction::kDeleteBank: instrument->deleteBank(action.bank); break;
        case MenuAction::kDeleteSubBank: instrument->deleteSubBank(action.bank, action.subBank); break;
        case MenuAction::kDeletePreset: instrument->deletePreset(action.bank, action.subBank, action.preset); break;
        case MenuAction::kStoreAt: instrument->storePresetAt(action.bank, action.subBank, action.preset); break;
    }
    rebuildNames = true;
}

// ---------------------------------------------------------------- names

void VexaBar::refreshNames() {
    if (!instrument) return;
    instrument->getPresetNames(bankName, subBankName, presetName);
    boundName(bankName);
    boundName(subBankName);
    boundName(presetName);
    bankField->setText(bankName);
    subBankField->setText(subBankName);
    if (modified) {
        // "* " and 31 characters: never cut.
        char marked[kNameSize + 2];
        std::snprintf(marked, sizeof marked, "* %s", presetName);
        presetField->setText(marked);
    } else {
        presetField->setText(presetName);
    }
}

bool VexaBar::isValidName(const char* text) {
    if (!text) return false;
    size_t length = 0;
    while (length < (size_t)kNameSize && text[length]) length++;
    if (length == 0 || length >= (size_t)kNameSize) return false;
    for (size_t i = 0; i < length; i++) {
        char c = text[i];
        bool letter = (c >= 'A' && c <= 'Z') || (c >= 'a' && c <= 'z');
        bool digit = c >= '0' && c <= '9';
        if (!letter && !digit && !std::strchr("&()+-._", c)) return false;
    }
    return true;
}

// Renames only in a user bank; a refused name is said at the next idle (a dialog must not
// open while the field is losing the focus).
void VexaBar::renameFrom(CTextEdit* field) {
    const int bank = instrument->getBankIndex();
    if (!instrument->isUserBank(bank)) return;
    const int subBank = instrument->getSubBankIndex();
    char text[256];
    field->getText(text);
    // The edited mark is not part of the name.
    const char* typed = text;
    if (field == presetField && modified && std::strncmp(text, "* ", 2) == 0) typed = text + 2;
    const char* stored = field == bankField ? bankName : field == subBankField ? subBankName : presetName;
    if (std::strcmp(typed, stored) == 0) return;  // left unchanged
    if (!isValidName(typed)) {
        refuse(kInvalidName);
        return;
    }
    if (field == bankField) {
        if (instrument->bankNameExists(typed)) return refuse("A bank of that name already exists.");
        instrument->setPresetNames(typed, subBankName, presetName);
    } else if (field == subBankField) {
        if (instrument->subBankNameExists(typed, bank)) return refuse("This bank already has a sub-bank of that name.");
        instrument->setPresetNames(bankName, typed, presetName);
    } else {
        if (instrument->presetNameExists(typed, bank, subBank))
            return refuse("This sub-bank already has a preset of that name.");
        instrument->setPresetNames(bankName, subBankName, typed);
    }
    instrument->saveCurrentPresetChecked();
    rebuildNames = true;
}

void VexaBar::refuse(const char* why) {
    std::snprintf(pendingRefusal, sizeof pendingRefusal, "%s", why);
}

// ---------------------------------------------------------------- actions

void VexaBar::valueChanged(CDrawContext* context, CControl* control) {
    if (!control || !instrument) return;
    const long tag = control->getTag();
    const float value = control->getValue();
    const bool pressed = value > 0.5f;
    switch (tag) {
        case kChorus:
        case kDelay: instrument->setParameter(tag, value); break;
        case kVoices:
            instrument->setParameter(tag, value);
            voicesMenu->setCurrent((long)value);
            break;
        case kStore:
            if (!pressed) break;
            if (instrument->isUserBank(instrument->getBankIndex())) {
                instrument->saveCurrentPreset();
            } else if (storeMenu) {
                CPoint corner(0, 0);
                storeMenu->mouse(context, corner, -1);
            }
            break;
        case kBankName:
        case kSubBankName:
        case kPresetName: renameFrom(static_cast<CTextEdit*>(control)); break;
        case kFullLayout:
        case kCompactLayout:
            if (!pressed && gui) gui->setLayout(tag == kFullLayout ? 0 : 1);
            break;
        case kPreviousPreset:
        case kNextPreset:
            if (!pressed) break;
            if (tag == kPreviousPreset)
                instrument->previousPreset();
            else
                instrument->nextPreset();
            rebuildNames = true;
            break;
        case kImport:
            if (!pressed) break;
            instrument->importBank();
            rebuildNames = true;
            break;
        case kExport:
            if (value == 0.f)
                instrument->exportBank();
            else if (value == 1.f)
                instrument->exportSubBank();
            else if (value == 2.f)
                instrument->exportPreset();
            break;
        default: {
            // The tree's menus: what the chosen entry was recorded to do.
            auto found = menuActions.find(static_cast<COptionMenu*>(control));
            if (found == menuActions.end()) break;
            long entry = (long)value;
            if (entry >= 0 && entry < (long)found->second.size()) runMenuAction(found->second[entry]);
            break;
        }
    }
    refreshNames();
    setDirty(true);
}

void VexaBar::parameterChanged(int index, float value) {
    switch (index) {
        case kChorus:
            if (chorusButton) chorusButton->setValue(value > 0.5f ? 1.f : 0.f);
            break;
        case kDelay:
            if (delayButton) delayButton->setValue(value > 0.5f ? 1.f : 0.f);
            break;
        case kMultiLamp: {
            // Above 0.5 the multi section is closed: one sound, no voices to share out.
            bool single = value > 0.5f;
            multiLamp->setValue(single ? 0.f : 1.f);
            voicesMenu->setMouseEnabled(!single);
            voicesMenu->setFontColor(single ? kDarkGreen : kGreen);
            voicesMenu->setDirty(true);
            break;
        }
        case kVoices: {
            long entry = value >= 3.f ? 3 : value >= 0.f ? (long)value : 0;  // NaN gives 0
            voicesMenu->setCurrent(entry);
            break;
        }
        default: return;
    }
    setDirty(true);
}

// ---------------------------------------------------------------- marks, idle, drawing

void VexaBar::setModified(int index, float value) {
    if (modified) return;
    if (marksHeld) {
        // The value reported before the clear is the load's own; another is a later edit.
        auto held = heldChanges.find(index);
        if (held != heldChanges.end() && held->second == value) return;
    }
    modified = true;
    refreshNames();
    setDirty(true);
}

// The editor hands parameter changes to the bar at its next idle: those of a load or store
// that clears the mark arrive after it and must not set it again.
void VexaBar::clearModified() {
    marksHeld = true;
    heldChanges.clear();
    if (CFrame* parent = getFrame())
        if (HalvornEdit* editor = dynamic_cast<HalvornEdit*>(parent->getEditor()))
            editor->copyPendingValues(heldChanges);
    if (!modified) return;
    modified = false;
    refreshNames();
    setDirty(true);
}

void VexaBar::presetChanged() {
    modified = false;
    rebuildNames = true;
}

void VexaBar::idle() {
    const bool activity = instrument && instrument->takeMidiActivity();
    const uint64_t now = nowMs();
    if (activity && !lampOn) {
        lampOn = true;
        lampOffAt = now + kLampMs;
        midiLamp->setValue(1.f);
        midiLamp->setDirty(true);
    } else if (!activity && lampOn && now > lampOffAt) {
        lampOn = false;
        midiLamp->setValue(0.f);
        midiLamp->setDirty(true);
    }
    if (rebuildNames) {
        buildMenus();
        refreshNames();
        rebuildNames = rebuildMenus = false;
        setDirty(true);
    } else if (rebuildMenus) {
        buildMenus();
        rebuildNames = rebuildMenus = false;
        setDirty(true);
    }
    marksHeld = false;
    if (pendingRefusal[0]) {
        char text[sizeof pendingRefusal];
        std::memcpy(text, pendingRefusal, sizeof text);
        pendingRefusal[0] = 0;
        MessageDialog().show(1, kRefusedCaption, text, "OK", nullptr);
    }
}

void VexaBar::draw(CDrawContext* context) {
    if (isRebuildPending()) return;
    CViewContainer::draw(context);
}

void VexaBar::drawRectIfReady(CDrawContext* context, const CRect& rect) {
    if (isRebuildPending()) return;
    drawBackgroundRect(context, rect);
}

CControl* VexaBar::getControl(long tag) const {
    switch (tag) {
        case kStoreMenu: return storeMenu;
        case kBankMenu: return bankMenu;
        case kSubBankMenu: return shownSubBankMenu;
        case kPresetMenu: return shownPresetMenu;
        default: break;
    }
    for (CView* view : views) {
        CControl* control = dynamic_cast<CControl*>(view);
        if (control && control->getTag() == tag) return control;
    }
    return nullptr;
}
