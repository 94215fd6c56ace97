// The back ends of Audio::open: they talk to devices, so they live beside Windows.
#include "audio_manager.h"
#include "asio_manager.h"
#include "dx_manager.h"

int Audio::open(void* window) {
    setBackEnd(kProtocolDirectSound, new DXManager(this, (HWND)window));
    setBackEnd(kProtocolAsio, new AsioManager(this, (HWND)window));
    selectProtocol(kProtocolDirectSound);
    return 0;
}
