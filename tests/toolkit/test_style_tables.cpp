// The GUI bridge's seven style tables: each filled by its own hook on the first read while
// it is empty, its records handed back by index, and all of them freed with the bridge.
#include <gtest/gtest.h>

#include <atomic>
#include <cstdlib>
#include <cstring>
#include <functional>
#include <new>
#include <string>

#include "toolkit/gui_interface.h"

// Every allocation of this program is counted while it lives, so a test can see what a
// destructor leaves behind.
namespace {
std::atomic<long> liveAllocations(0);
}

void* operator new(std::size_t size) {
    void* p = std::malloc(size ? size : 1);
    if (!p) throw std::bad_alloc();
    liveAllocations++;
    return p;
}
void* operator new[](std::size_t size) { return operator new(size); }
void* operator new(std::size_t size, const std::nothrow_t&) noexcept {
    void* p = std::malloc(size ? size : 1);
    if (p) liveAllocations++;
    return p;
}
void* operator new[](std::size_t size, const std::nothrow_t& tag) noexcept { return operator new(size, tag); }
void operator delete(void* p) noexcept {
    if (!p) return;
    liveAllocations--;
    std::free(p);
}
void operator delete[](void* p) noexcept { operator delete(p); }
void operator delete(void* p, std::size_t) noexcept { operator delete(p); }
void operator delete[](void* p, std::size_t) noexcept { operator delete(p); }

namespace {

enum Table { kSlider, kKnob, kSwitch, kTable4, kButton, kDisplay, kChoice, kTables };

// A bridge whose hooks count their calls and add `records` records, each marked with its
// table's base number plus its position.
class FillingGui : public GuiInterface {
public:
    explicit FillingGui(int records) : records(records) {}

    void fillSliderStyles() override {
        asked[kSlider]++;
        for (int k = 0; k < records; k++) {
            sliderStyles.emplace_back();
            sliderStyles.back().init(nullptr, nullptr, 100 + k, 51, 20, 15, 0, 0, 36, 0, nullptr);
        }
    }
    void fillKnobStyles() override {
        asked[kKnob]++;
        for (int k = 0; k < records; k++) {
            knobStyles.emplace_back();
            knobStyles.back().init(nullptr, 200 + k, 32, 64, false, nullptr);
        }
    }
    void fillSwitchStyles() override {
        asked[kSwitch]++;
        for (int k = 0; k < records; k++) {
            switchStyles.emplace_back();
            switchStyles.back().init(nullptr, 300 + k, 12, 2, false, nullptr);
        }
    }
    void fillStyleTable4() override {
        asked[kTable4]++;
        for (int k = 0; k < records; k++) {
            styleTable4.emplace_back();
            styleTable4.back().words[6] = 400 + k;
        }
    }
    void fillButtonStyles() override {
        asked[kButton]++;
        for (int k = 0; k < records; k++) {
            buttonStyles.emplace_back();
            buttonStyles.back().init(nullptr, 500 + k, 14, nullptr, nullptr);
        }
    }
    void fillDisplayStyles() override {
        asked[kDisplay]++;
        for (int k = 0; k < records; k++) displayStyles.emplace_back(nullptr, 600 + k, 15, 10, kWhiteCColor, 0, 0);
    }
    void fillChoiceStyles() override {
        asked[kChoice]++;
        for (int k = 0; k < records; k++) {
            choiceStyles.emplace_back();
            AChoiceStyle& style = choiceStyles.back();
            // A list of its own on the heap, which only the style's destructor frees.
            style.init(4, 3, 10, 0, kBlackCColor, kGreyCColor, nullptr);
            style.setItem(0, std::to_string(700 + k).c_str());
        }
    }

    int records;
    int asked[kTables] = {};
};

// Reads record i of a table and answers its mark, or -1 when the getter gives none.
struct TableCase {
    const char* name;
    Table table;
    int base;
    std::function<int(GuiInterface&, unsigned)> mark;
};

const TableCase kCases[] = {
    {"slider", kSlider, 100,
     [](GuiInterface& g, unsigned i) { return g.getSliderStyle(i) ? g.getSliderStyle(i)->width : -1; }},
    {"knob", kKnob, 200,
     [](GuiInterface& g, unsigned i) { return g.getKnobStyle(i) ? g.getKnobStyle(i)->frameWidth : -1; }},
    {"switch", kSwitch, 300,
     [](GuiInterface& g, unsigned i) { return g.getSwitchStyle(i) ? g.getSwitchStyle(i)->frameWidth : -1; }},
    {"fourth", kTable4, 400,
     [](GuiInterface& g, unsigned i) { return g.getStyleTable4Entry(i) ? (int)g.getStyleTable4Entry(i)->words[6] : -1; }},
    {"button", kButton, 500,
     [](GuiInterface& g, unsigned i) { return g.getButtonStyle(i) ? g.getButtonStyle(i)->width : -1; }},
    {"display", kDisplay, 600,
     [](GuiInterface& g, unsigned i) { return g.getDisplayStyle(i) ? g.getDisplayStyle(i)->width : -1; }},
    {"choice", kChoice, 700,
     [](GuiInterface& g, unsigned i) { return g.getChoiceStyle(i) ? atoi(g.getChoiceStyle(i)->getItem(0)) : -1; }},
};

void PrintTo(const TableCase& c, std::ostream* out) { *out << c.name; }

class StyleTables : public ::testing::TestWithParam<TableCase> {};

TEST_P(StyleTables, TheHookIsAskedOnceOnTheFirstReadOfTheEmptyTable) {
    const TableCase& c = GetParam();
    FillingGui gui(3);
    for (int t = 0; t < kTables; t++) ASSERT_EQ(gui.asked[t], 0) << "nothing is filled before a read";

    EXPECT_EQ(c.mark(gui, 0), c.base);
    EXPECT_EQ(gui.asked[c.table], 1);
    EXPECT_EQ(c.mark(gui, 2), c.base + 2);
    EXPECT_EQ(c.mark(gui, 1), c.base + 1);
    EXPECT_EQ(c.mark(gui, 3), -1) << "past the end of the table";
    EXPECT_EQ(gui.asked[c.table], 1) << "a filled table is not filled again";
    for (int t = 0; t < kTables; t++)
        if (t != c.table) {
            EXPECT_EQ(gui.asked[t], 0) << "table " << t << " was not read";
        }
}

TEST_P(StyleTables, AHookThatAddsNothingIsAskedAtEveryRead) {
    const TableCase& c = GetParam();
    FillingGui gui(0);
    EXPECT_EQ(c.mark(gui, 0), -1);
    EXPECT_EQ(c.mark(gui, 0), -1);
    EXPECT_EQ(gui.asked[c.table], 2);
}

TEST_P(StyleTables, TheBaseBridgeHasNoRecords) {
    GuiInterface gui;
    EXPECT_EQ(GetParam().mark(gui, 0), -1);
}

INSTANTIATE_TEST_SUITE_P(EveryTable, StyleTables, ::testing::ValuesIn(kCases),
                         [](const ::testing::TestParamInfo<TableCase>& info) { return std::string(info.param.name); });

// A receptor that only needs to be registered.
class Quiet : public AParameterReceptor {
public:
    void parameterChanged(int, float) override {}
    void setHighlight(float) override {}
};

TEST(StyleTablesLifetime, TheBridgeFreesEveryRecordAndRegistration) {
    Quiet receptor;
    long before = liveAllocations.load();
    GuiInterface* gui = new FillingGui(40);
    for (const TableCase& c : kCases) ASSERT_EQ(c.mark(*gui, 39), c.base + 39) << c.name;
    for (int index = 0; index < 50; index++) gui->addReceptor(index, &receptor);
    EXPECT_GT(liveAllocations.load() - before, 7) << "the tables and registrations are on the heap";
    delete gui;  // through the base, as the editor deletes its bridge
    EXPECT_EQ(liveAllocations.load(), before);
}

// A record handed out stays where it is while its table grows.
TEST(StyleTablesLifetime, RecordsKeepTheirPlaceAsATableGrows) {
    class GrowingGui : public FillingGui {
    public:
        GrowingGui() : FillingGui(1) {}
        void grow(int more) {
            for (int k = 0; k < more; k++) displayStyles.emplace_back(nullptr, 1000 + k, 15, 10, kWhiteCColor, 0, 0);
        }
    } gui;
    ADisplayStyle* first = gui.getDisplayStyle(0);
    ASSERT_NE(first, nullptr);
    gui.grow(500);
    EXPECT_EQ(gui.getDisplayStyle(0), first);
    EXPECT_EQ(first->width, 600);
    EXPECT_EQ(gui.getDisplayStyle(500)->width, 1499);
}

}  // namespace
