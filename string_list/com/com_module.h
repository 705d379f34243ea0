// The DLL's own state: its instance handle, the count of live objects and
// server locks that decides whether it may unload, and the type information
// of _clsStringList loaded once from its embedded type library.
#pragma once

#include "automation/ole_types.h"

namespace corvane::com {

HINSTANCE module_instance();

void object_created();
void object_destroyed();
void lock_server(bool lock);
// True when no object is alive and no lock is held.
bool module_idle();

// _clsStringList's type information, the vtable (TKIND_INTERFACE) and the
// dispatch (TKIND_DISPATCH) view; loaded on first use from the module's
// TYPELIB resource, released when the module goes idle. Borrowed pointers,
// valid while an object is alive.
HRESULT string_list_type_info(ITypeInfo** interface_info, ITypeInfo** dispatch_info);
void release_type_info();

// The module's full path.
OleString module_path();

}  // namespace corvane::com
