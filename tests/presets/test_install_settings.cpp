#include <gtest/gtest.h>

#include "presets/install_settings.h"

TEST(InstallSettings, FreshObjectHoldsOnlyTheFixedNames) {
    InstallSettings settings("VEXA");
    EXPECT_EQ(settings.getRegistryKey(), "");
    EXPECT_EQ(settings.getNotInstalledMessage(), "");
    EXPECT_EQ(settings.getDialogFileName(), "");
    EXPECT_EQ(settings.getDialogFilter(), "");
    EXPECT_EQ(settings.getMarkerDir(), ".");
    EXPECT_EQ(settings.getSaveDir(), "save");
    EXPECT_EQ(settings.getControlMidiPath(), "save\\controlMidi");
    EXPECT_EQ(settings.getPathSeparator(), "\\");
    EXPECT_EQ(settings.getCacheFileName(), "wqnt.dat");
    EXPECT_EQ(settings.getSessionFileName(), "session.dat");
    EXPECT_EQ(settings.getRunningPrefix(), "running");
    EXPECT_EQ(settings.getModifiedPrefix(), "modified");
    EXPECT_EQ(settings.getChunkTag(), "VEXA");
}

TEST(InstallSettings, SettersReplaceTheirTextsAndCopiesAreIndependent) {
    InstallSettings settings("VEXA");
    settings.setInstallInfo("Software\\Vantrope\\Halvorn", "Your Halvorn is not correcty installed");
    settings.setDialogInfo(".ays", "Halvorn Preset File (*.ays)|*.ays||");
    EXPECT_EQ(settings.getRegistryKey(), "Software\\Vantrope\\Halvorn");
    EXPECT_EQ(settings.getNotInstalledMessage(), "Your Halvorn is not correcty installed");
    EXPECT_EQ(settings.getDialogFileName(), ".ays");
    EXPECT_EQ(settings.getDialogFilter(), "Halvorn Preset File (*.ays)|*.ays||");
    std::string copy = settings.getSaveDir();
    copy[0] = 'X';
    EXPECT_EQ(settings.getSaveDir(), "save");
    settings.setInstallInfo(nullptr, nullptr);
    EXPECT_EQ(settings.getRegistryKey(), "");
}

TEST(InstallSettings, ChunkTagIsAlwaysFourBytes) {
    EXPECT_EQ(InstallSettings("VEXAXX").getChunkTag(), "VEXA");
    EXPECT_EQ(InstallSettings("AB").getChunkTag(), "AB  ");
    EXPECT_EQ(InstallSettings(nullptr).getChunkTag().size(), 4u);
}
