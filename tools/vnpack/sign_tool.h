#pragma once
// The signing tool behind `vnpack sign`: osslsigncode. Only these calls know it.
#include <cstddef>

// What to do when it is missing, on either system.
const char* const kSignToolHint =
    "install it (Debian: apt-get install osslsigncode; Windows: put a Windows build of osslsigncode.exe beside "
    "vnpack.exe or on PATH)";

struct SignJob {
    const char* in;            // the unsigned updater
    const char* out;           // where the signed one goes
    const char* pkcs12;        // the certificate and its key
    const char* password;      // of the PKCS#12 file, or null; never put on a command line
    const char* timestampUrl;  // an RFC 3161 server, or null
};

// Signs job->in into job->out with a SHA-256 digest. Returns 0, 1 when the tool cannot be run, or
// 2 when it refused (its own message is on stderr).
int RunSignTool(const SignJob* job);

struct SignatureInfo {
    char subject[512];  // the signer's certificate
    char digest[32];    // its digest algorithm
    bool matches;       // the file's bytes are those that were signed
};

// Reads the signature of a signed file. Returns 0, or -1 when the tool is missing or cannot read it.
int DescribeSignature(const char* path, SignatureInfo* info);
