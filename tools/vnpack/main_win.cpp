// vnpack.exe's entry point: the wide command line, converted to the UTF-8 the tool works in.
#include <windows.h>

#include "common/alloc.h"
#include "vnpack/host_win.h"
#include "vnpack/vnpack.h"

int wmain(int argc, wchar_t** argv) {
    StartHostConsole();
    char** args = static_cast<char**>(AllocChecked((static_cast<size_t>(argc) + 1) * sizeof(char*)));
    if (!args) return kExitUsage;
    for (int i = 0; i < argc; ++i) {
        int n = WideCharToMultiByte(CP_UTF8, WC_ERR_INVALID_CHARS, argv[i], -1, nullptr, 0, nullptr, nullptr);
        args[i] = n > 0 ? static_cast<char*>(AllocChecked(static_cast<size_t>(n))) : nullptr;
        if (!args[i]) return Fail(kExitUsage, nullptr, "argument %d is not valid Unicode", i);
        WideCharToMultiByte(CP_UTF8, WC_ERR_INVALID_CHARS, argv[i], -1, args[i], n, nullptr, nullptr);
    }
    args[argc] = nullptr;
    return RunVnpack(argc, args);
}
