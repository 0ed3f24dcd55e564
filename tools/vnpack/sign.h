#pragma once
// Authenticode signatures on updaters: `vnpack sign`, the signing options of `vnpack build`, and
// what `list` and `test` say about a signature.
#include <cstdio>

struct SignOptions {
    const char* pkcs12;        // null: do not sign
    const char* passwordEnv;   // the variable holding the PKCS#12 file's password, or null
    const char* timestampUrl;  // or null
};

// Takes argv[*i] and its value when it is a signing option, advancing *i. Returns 1 when it took
// one, 0 when argv[*i] is none, or -1 when the value is missing.
int ParseSignOption(int argc, char** argv, int* i, SignOptions* opt);

// Signs the updater at path in place with a SHA-256 digest, replacing any signature it carries,
// and re-pads one that was not built sign-ready. Returns a VnpackExit code.
int SignUpdater(const char* path, const SignOptions* opt);

// Prints whether the updater f (at path) is signed and by whom. Returns kExitOk, or kExitBadInput
// when the signature no longer matches the file.
int ShowSignature(FILE* f, const char* path);
