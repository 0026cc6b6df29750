// The keyboard source on Linux: the hosting process's HostGetKeyboardState, looked up once when the
// library loads. See platform/keyboard.h.
#include "platform/keyboard.h"

#include <dlfcn.h>

#include <cstring>

namespace platform {
namespace {

using KeyboardQuery = int (*)(unsigned char*);

KeyboardQuery findHostQuery() {
    void* symbol = dlsym(RTLD_DEFAULT, "HostGetKeyboardState");
    KeyboardQuery query = nullptr;
    static_assert(sizeof(symbol) == sizeof(query));
    std::memcpy(&query, &symbol, sizeof(query));
    return query;
}

// Resolved while the library loads, so a frame makes no lookup.
const KeyboardQuery hostQuery = findHostQuery();

}  // namespace

void readKeyboard(std::uint8_t state[256]) {
    if (hostQuery == nullptr) {
        std::memset(state, 0, 256);
        return;
    }
    hostQuery(state);
}

}  // namespace platform
