#include <cstring>

#include "vstgui/vstgui.h"

namespace {
const long kMaxEntries = 1024;
const long kDefaultItemsPerColumn = 24;
}  // namespace

COptionMenu::COptionMenu(const CRect& size, CControlListener* listener, long tag, CBitmap* background,
                         CBitmap* whenClicked, long style)
    : CControl(size, listener, tag, background), backgroundWhenClicked(nullptr), style(style), current(-1),
      itemsPerColumn(kDefaultItemsPerColumn), lastResult(-1), lastMenu(nullptr), lastMenuIndex(-1),
      font(kNormalFontSmall), fontSize(0), fontColor(kWhiteCColor), popped(false) {
    if (whenClicked) whenClicked->remember();
    backgroundWhenClicked = whenClicked;
}

COptionMenu::~COptionMenu() {
    removeAllEntry();
    if (backgroundWhenClicked) backgroundWhenClicked->forget();
}

bool COptionMenu::addEntry(const char* text, long index, long flags) {
    if ((long)entries.size() >= kMaxEntries) return false;
    Entry entry = {text ? text : "", nullptr, false, false};
    if (index < 0 || index > (long)entries.size())
        entries.push_back(entry);
    else
        entries.insert(entries.begin() + index, entry);
    return true;
}

bool COptionMenu::addEntry(COptionMenu* submenu, const char* text) {
    if (!submenu || submenu == this || (long)entries.size() >= kMaxEntries) return false;
    submenu->remember();
    entries.push_back({text ? text : "", submenu, false, false});
    return true;
}

bool COptionMenu::removeEntry(long index) {
    if (index < 0 || index >= (long)entries.size()) return false;
    if (entries[index].submenu) entries[index].submenu->forget();
    entries.erase(entries.begin() + index);
    if (current >= (long)entries.size()) current = -1;
    return true;
}

bool COptionMenu::removeAllEntry() {
    for (Entry& e : entries)
        if (e.submenu) e.submenu->forget();
    entries.clear();
    current = -1;
    return true;
}

bool COptionMenu::getEntry(long index, char* text) const {
    if (!text) return false;
    if (index < 0 || index >= (long)entries.size()) {
        text[0] = 0;
        return false;
    }
    strncpy(text, entries[index].text.c_str(), 255);
    text[255] = 0;
    return true;
}

const char* COptionMenu::getEntryText(long index) const {
    return index >= 0 && index < (long)entries.size() ? entries[index].text.c_str() : nullptr;
}

COptionMenu* COptionMenu::getSubMenu(long index) const {
    return index >= 0 && index < (long)entries.size() ? entries[index].submenu : nullptr;
}

bool COptionMenu::checkEntry(long index, bool checked) {
    if (index < 0 || index >= (long)entries.size()) return false;
    entries[index].checked = checked;
    return true;
}

bool COptionMenu::isCheckEntry(long index) const {
    return index >= 0 && index < (long)entries.size() && entries[index].checked;
}

void COptionMenu::setCurrent(long index) {
    if (index < 0 || index >= (long)entries.size()) return;
    current = index;
    value = (float)index;
    setDirty(true);
}

COptionMenu* COptionMenu::getLastItemMenu(long& index) const {
    index = lastMenuIndex;
    return lastMenu;
}

void COptionMenu::draw(CDrawContext* context) {
    CBitmap* image = popped && backgroundWhenClicked ? backgroundWhenClicked : background;
    if (image) {
        if (image->isTransparent())
            image->drawTransparent(context, size, CPoint(0, 0));
        else
            image->draw(context, size, CPoint(0, 0));
    }
    if (!(style & kNoTextStyle) && current >= 0 && current < (long)entries.size()) {
        context->setFont(font, fontSize);
        context->setFontColor(fontColor);
        context->drawString(entries[current].text.c_str(), size);
    }
    setDirty(false);
}

// Each entry gets a command number; the list maps the numbers back to (menu, position).
HMENU COptionMenu::build(std::vector<std::pair<COptionMenu*, long>>& commands) {
    HMENU menu = CreatePopupMenu();
    long perColumn = itemsPerColumn > 0 ? itemsPerColumn : kDefaultItemsPerColumn;
    for (long i = 0; i < (long)entries.size(); i++) {
        const Entry& e = entries[i];
        UINT flags = MF_STRING;
        if (i > 0 && i % perColumn == 0) flags |= MF_MENUBARBREAK;
        if (e.text == "-") {
            AppendMenuA(menu, MF_SEPARATOR | (flags & MF_MENUBARBREAK), 0, nullptr);
            continue;
        }
        if (e.checked || ((style & kCheckStyle) && i == current)) flags |= MF_CHECKED;
        // "-G" before the text shows the entry greyed: it cannot be chosen.
        const char* text = e.text.c_str();
        if (e.text.compare(0, 2, "-G") == 0) {
            flags |= MF_GRAYED;
            text += 2;
        }
        if (e.submenu) {
            HMENU inner = e.submenu->build(commands);
            AppendMenuA(menu, flags | MF_POPUP, (UINT_PTR)inner, text);
        } else {
            commands.push_back(std::make_pair(this, i));
            AppendMenuA(menu, flags, (UINT_PTR)commands.size(), text);
        }
    }
    return menu;
}

void COptionMenu::chosen(CDrawContext* context, COptionMenu* menu, long index) {
    lastResult = index;
    lastMenu = menu;
    lastMenuIndex = index;
    if (!menu) return;
    if (menu != this) {
        menu->lastResult = index;
        menu->lastMenu = menu;
        menu->lastMenuIndex = index;
    }
    menu->value = (float)index;
    if (menu->getListener()) menu->getListener()->valueChanged(context, menu);
}

void COptionMenu::mouse(CDrawContext* context, CPoint& where, long buttons) {
    if (buttons == -1 && context) buttons = context->getMouseButtons();
    lastResult = -1;
    lastMenu = nullptr;
    lastMenuIndex = -1;
    // Held for the time of the pop-up: a listener may release the menu's other holders.
    remember();
    HWND window = context ? context->getWindow() : nullptr;
    if (!window && frame) window = frame->getSystemWindow();
    if (!window) {
        forget();
        return;
    }
    popped = true;
    redraw();
    std::vector<std::pair<COptionMenu*, long>> commands;
    HMENU menu = build(commands);
    CPoint at = frameOffset();
    POINT corner = {size.left + at.h, size.top + at.v};
    ClientToScreen(window, &corner);
    UINT command = (UINT)TrackPopupMenu(menu, TPM_LEFTALIGN | TPM_TOPALIGN | TPM_RETURNCMD | TPM_NONOTIFY |
                                                  TPM_LEFTBUTTON,
                                        corner.x, corner.y, 0, window, nullptr);
    DestroyMenu(menu);  // submenus go with it
    popped = false;
    setDirty(true);
    if (command >= 1 && command <= commands.size())
        chosen(context, commands[command - 1].first, commands[command - 1].second);
    forget();
}
