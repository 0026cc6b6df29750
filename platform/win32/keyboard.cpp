// The calling thread's keyboard state, on Windows. See platform/keyboard.h.
#include "platform/keyboard.h"

#include "platform/win32/internal.h"

namespace platform {

void readKeyboard(std::uint8_t state[256]) {
    // The result is not looked at: on failure the buffer keeps what it held, as the host expects.
    GetKeyboardState(state);
}

}  // namespace platform
