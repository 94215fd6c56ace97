// The standalone program's integer error codes: 0 is success, every failure a small
// negative number grouped by layer (host side, DirectSound, ASIO, sample rate, MIDI).
#pragma once

enum HostError {
    kHostOk = 0,
    kHostErrorBadArgument = -1,

    // Host side of the plug-in.
    kHostErrorNoLibrary = -101,       // the plug-in library or its "main" is missing
    kHostErrorNoEffect = -102,        // editor size asked without a plug-in
    kHostErrorEffectRefused = -104,   // "main" returned no effect

    // DirectSound back end.
    kHostErrorDsCreate = -201,        // the DirectSound object cannot be created
    kHostErrorDsPrimary = -202,       // the primary buffer cannot be created or given its format
    kHostErrorDsSecondary = -203,     // the secondary buffer cannot be created
    kHostErrorDsTimer = -204,         // the 1 ms timer cannot be started
    kHostErrorDsNotPrepared = -205,   // start without a secondary buffer
    kHostErrorDsCooperative = -206,   // the cooperative level cannot be set

    // ASIO back end.
    kHostErrorAsioNotLoaded = -301,
    kHostErrorAsioNotPresent = -302,
    kHostErrorAsioLoad = -303,
    kHostErrorAsioNoDriver = -304,
    kHostErrorAsioHwMalfunction = -305,
    kHostErrorAsioInvalidParameter = -306,
    kHostErrorAsioInvalidMode = -307,
    kHostErrorAsioNoClock = -308,
    kHostErrorAsioNoMemory = -309,
    kHostErrorAsioNotAdvancing = -310,
    kHostErrorAsioOther = -311,
    kHostErrorAsioNotPrepared = -312,

    kHostErrorSampleRate = -350,      // sample rate refused

    // MIDI input.
    kHostErrorMidiOpen = -402,
    kHostErrorMidiStart = -403,
};
