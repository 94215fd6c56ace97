// The instrument's face towards its editor: the editor's bridge holds a pointer to it.
#pragma once

class InstallSettings;

class VstInstInterface {
public:
    virtual void setParameter(int index, float value) = 0;
    virtual void setParameterAutomated(int index, float value) = 0;
    virtual float getParameter(int index) = 0;
    virtual void reservedA(int a, int b) = 0;
    virtual int reservedB(int a) = 0;
    virtual void noteEvent(int note, int velocity, int channel) = 0;
    virtual const char* getParameterValueText(int index) = 0;
    virtual const char* getParameterLongName(int index) = 0;
    virtual void setMidiCC(int index, int controller) = 0;
    virtual int getMidiCC(int index) = 0;
    virtual int startMidiLearn(int index) = 0;
    virtual int stopMidiLearn() = 0;
    virtual int clearAllMidiCC() = 0;
    virtual void clearMidiCC(int controller) = 0;
    virtual bool isMidiAssignable(int index) = 0;
    virtual int reservedC(int a) { return 0; }
    virtual bool beginEdit(int index) = 0;
    virtual bool endEdit(int index) = 0;
    virtual bool sizeWindow(int width, int height) = 0;
    virtual bool getVendorString(char* text) = 0;
    virtual bool getHostVendorString(char* text) = 0;
    virtual InstallSettings* getInstallSettings() = 0;
};
