// The five process-wide tables of widget looks that the panels ask for by index. Each
// table is built whole at its first use and stays until releaseSkinStyles.
#pragma once

class AButtonStyle;
class AChoiceStyle;
class AKnobStyle;
class ASliderStyle;
class ASwitchStyle;

const int kSkinSliderStyles = 10;
const int kSkinKnobStyles = 16;
const int kSkinSwitchStyles = 16;
const int kSkinButtonStyles = 29;
const int kSkinChoiceStyles = 6;

// An index outside a table answers null.
ASliderStyle* getSkinSliderStyle(int i);
AKnobStyle* getSkinKnobStyle(int i);
ASwitchStyle* getSkinSwitchStyle(int i);
AButtonStyle* getSkinButtonStyle(int i);
AChoiceStyle* getSkinChoiceStyle(int i);
// Deletes every style of every table; the next request builds its table again.
void releaseSkinStyles();
// How many times tables were built, for the tests of the build-once rule.
int skinTableBuilds();
