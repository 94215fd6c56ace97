// The back ends of Audio::open: they talk to devices, so they live beside Windows.
#include "audio_manager.h"
#include "dx_manager.h"

int Audio::open(void* window) {
    setBackEnd(kProtocolDirectSound, new DXManager(this, (HWND)window));
    // The ASIO back end takes protocol index 1 here once it is built; until then that
    // protocol has no back end and cannot be selected.
    selectProtocol(kProtocolDirectSound);
    return 0;
}
