// The keyboard as the calling thread sees it.
#pragma once

#include <cstdint>

namespace platform {

// Fills state with the 256 virtual keys; bit 0x80 set means the key is down.
//
// Windows: GetKeyboardState of the calling thread. Linux: the hosting process may provide
//   extern "C" int HostGetKeyboardState(unsigned char state[256]);
// in its global symbol scope, with the same meaning; it is looked up once when the library loads.
// Without it every key is up.
void readKeyboard(std::uint8_t state[256]);

}  // namespace platform
