#pragma once
// Looks up an X atom by name on the given connection; XCB_ATOM_NONE when the server does not
// answer.
#include <xcb/xcb.h>

xcb_atom_t xcbAtom(xcb_connection_t* c, const char* name);
