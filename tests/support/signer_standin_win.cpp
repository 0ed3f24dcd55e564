// osslsigncode.exe for vnpack.exe's tests under Wine: answers as the real one did for the same file
// and records how it was called. The test prepares its answers with Debian's osslsigncode:
//   sign ... -out OUT    copies VN_SIGNER_SIGNED to OUT, exits VN_SIGNER_EXIT (default 0)
//   verify -in FILE      prints VN_SIGNER_REPORT, exits 1 (the certificate is not trusted)
// Each call appends its arguments, one per line, and the -readpass file's content to VN_SIGNER_LOG.
#include <windows.h>

#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <cwchar>

static void AppendUtf8(FILE* log, const wchar_t* text) {
    char utf8[4096];
    if (WideCharToMultiByte(CP_UTF8, 0, text, -1, utf8, sizeof utf8, nullptr, nullptr) > 0) fputs(utf8, log);
}

static int CopyFileBytes(const wchar_t* from, const wchar_t* to) {
    FILE* in = _wfopen(from, L"rb");
    FILE* out = in ? _wfopen(to, L"wb") : nullptr;
    char buf[65536];
    size_t n = 0;
    while (out && (n = fread(buf, 1, sizeof buf, in)) > 0) fwrite(buf, 1, n, out);
    if (in) fclose(in);
    return out && fclose(out) == 0 ? 0 : -1;
}

int wmain(int argc, wchar_t** argv) {
    FILE* log = _wfopen(_wgetenv(L"VN_SIGNER_LOG"), L"ab");
    if (!log || argc < 2) return 3;
    const wchar_t* out = nullptr;
    for (int i = 1; i < argc; ++i) {
        AppendUtf8(log, argv[i]);
        fputc('\n', log);
        if (wcscmp(argv[i], L"-out") == 0 && i + 1 < argc) out = argv[i + 1];
        if (wcscmp(argv[i], L"-readpass") == 0 && i + 1 < argc) {
            FILE* pass = _wfopen(argv[i + 1], L"rb");
            char text[256] = "(unreadable)";
            if (pass) text[fread(text, 1, sizeof text - 1, pass)] = '\0';
            if (pass) fclose(pass);
            fprintf(log, "password: %s\n", text);
        }
    }
    fclose(log);
    if (wcscmp(argv[1], L"verify") == 0) {
        FILE* report = _wfopen(_wgetenv(L"VN_SIGNER_REPORT"), L"rb");
        char buf[65536];
        size_t n = report ? fread(buf, 1, sizeof buf, report) : 0;
        fwrite(buf, 1, n, stdout);
        return 1;
    }
    if (!out || CopyFileBytes(_wgetenv(L"VN_SIGNER_SIGNED"), out) != 0) return 3;
    const wchar_t* code = _wgetenv(L"VN_SIGNER_EXIT");
    return code ? _wtoi(code) : 0;
}
