// Whether COM may unload this task DLL once nothing in it is in use. Compiled
// into each task DLL, so that each chooses (ostrelin_add_task ... UNLOADABLE).
#include "OstrelinTask.h"

namespace OstrelinSdk
{
bool TaskModuleMayUnload()
{
    // mingw-w64's static runtime leaves a TLS slot and two handles behind on
    // every unload; after about a thousand unloads the process aborts. Such a
    // DLL stays loaded unless it asks otherwise.
#if defined(OSTRELIN_TASK_UNLOADABLE) || !defined(__MINGW32__)
    return true;
#else
    return false;
#endif
}
} // namespace OstrelinSdk
