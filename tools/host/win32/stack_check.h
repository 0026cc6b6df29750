// The stack check of 32-bit Windows entry point calls. The host calls 32-bit plug-ins with
// __stdcall: the plug-in pops its own arguments, so an entry point exported with the wrong argument
// size returns with the caller's stack pointer moved, and the caller goes wrong later, far from the
// cause. The host-side loader therefore calls every entry point through a small thunk that passes
// the arguments on, and stops the program at once, naming the entry point and the bytes it popped,
// when the stack pointer comes back anywhere but where the caller left it.
#pragma once

namespace host {

// The address to call in place of the entry point `name` found at `address` in `library`: on
// 32-bit Windows a checking thunk for the sixteen entry points, elsewhere (and for other names)
// the address itself. Null stays null. Thunks live as long as the program.
void* guardEntryPoint(void* library, const char* name, void* address);

}  // namespace host
