#include "platform/d3d/detail/gl_driver.h"

#include <dlfcn.h>
#include <link.h>
#include <string_view>

namespace quelm::d3d {

void KeepGlDriverLoaded() {
    dl_iterate_phdr(
        [](dl_phdr_info* info, size_t, void*) {
            const std::string_view name = info->dlpi_name ? info->dlpi_name : "";
            if (name.ends_with("_dri.so") || name.find("libgallium") != std::string_view::npos)
                dlopen(info->dlpi_name, RTLD_NOW | RTLD_NOLOAD | RTLD_NODELETE);
            return 0;
        },
        nullptr);
}

} // namespace quelm::d3d
