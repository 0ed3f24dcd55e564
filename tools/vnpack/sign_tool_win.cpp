// vnpack.exe runs no signing tool: a studio signs with the Linux vnpack (osslsigncode). A Windows
// signer would go behind these two calls.
#include <cstdio>

#include "vnpack/sign_tool.h"

int RunSignTool(const SignJob*) {
    fputs("vnpack: signing runs osslsigncode, which vnpack.exe does not; sign with the Linux vnpack\n", stderr);
    return 1;
}

int DescribeSignature(const char*, SignatureInfo*) { return -1; }
