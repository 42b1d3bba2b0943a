#pragma once

#include <cstring>
#include <dlfcn.h>
#include <link.h>

// Mesa's driver keeps a few blocks for the whole process and is unloaded when the X connection
// closes; from then on LeakSanitizer can neither reach those blocks nor name their module. Keeping
// the driver loaded leaves them reachable, as they are in any running program. Call it once a GL
// context exists.
inline void keepGlDriverLoaded()
{
    dl_iterate_phdr(
        [](dl_phdr_info *info, size_t, void *) {
            if (info->dlpi_name && std::strstr(info->dlpi_name, "_dri.so"))
                dlopen(info->dlpi_name, RTLD_NOW | RTLD_NOLOAD | RTLD_NODELETE);
            return 0;
        },
        nullptr);
}
