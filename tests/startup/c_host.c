/* A host written in C, with no C++ runtime in its process: each plug-in named on the command line
 * must load, answer and unload without bringing a shared C++ runtime (or the compiler's support
 * library) into the process. Linux, not in the sanitizer builds.
 * Usage: c_host LIBRARY...   (exit status 0 when every library passes) */
#define _GNU_SOURCE
#include <dlfcn.h>
#include <link.h>
#include <stdio.h>
#include <string.h>

static int foreignRuntimes(struct dl_phdr_info* info, size_t size, void* found) {
    (void)size;
    if (strstr(info->dlpi_name, "libstdc++") != NULL || strstr(info->dlpi_name, "libgcc_s") != NULL) {
        fprintf(stderr, "loaded into the process: %s\n", info->dlpi_name);
        *(int*)found = 1;
    }
    return 0;
}

int main(int argc, char** argv) {
    int failures = 0;
    for (int i = 1; i < argc; ++i) {
        void* library = dlopen(argv[i], RTLD_NOW | RTLD_LOCAL);
        if (library == NULL) {
            fprintf(stderr, "FAIL %s: %s\n", argv[i], dlerror());
            ++failures;
            continue;
        }
        int (*version)(void) = NULL;
        void* symbol = dlsym(library, "GetPluginVersion");
        memcpy(&version, &symbol, sizeof version);
        int runtimes = 0;
        dl_iterate_phdr(foreignRuntimes, &runtimes);
        if (version == NULL || version() != 0x20000 || runtimes) {
            fprintf(stderr, "FAIL %s: %s\n", argv[i],
                    runtimes ? "brought a shared C++ runtime" : "no version 0x20000");
            ++failures;
        } else {
            printf("ok   %s: loads and answers in a process without a C++ runtime\n", argv[i]);
        }
        dlclose(library);
    }
    return failures == 0 ? 0 : 1;
}
