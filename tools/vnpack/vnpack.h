#pragma once
// Shared by the vnpack verbs: exit codes and the one message form, "vnpack: FILE: what is wrong".
#include "common/str_util.h"

enum VnpackExit {
    kExitOk = 0,
    kExitUsage = 1,     // bad usage or an internal error
    kExitBadInput = 2,  // the input is bad
};

// The whole tool: --help, --version or a verb, with the arguments in UTF-8. Returns the exit code.
int RunVnpack(int argc, char** argv);

// A verb gets the arguments after its name.
typedef int (*VerbFn)(int argc, char** argv);

struct Verb {
    const char* name;
    const char* usage;    // arguments, shown after "vnpack NAME"
    const char* summary;  // one line for --help
    VerbFn run;
};

// The verbs, each in its own file; tests run them in-process.
int RunBuild(int argc, char** argv);
int RunList(int argc, char** argv);
int RunTest(int argc, char** argv);
int RunExtract(int argc, char** argv);
int RunSign(int argc, char** argv);
int RunEnv(int argc, char** argv);
int RunRct(int argc, char** argv);

// The verb table, ended by an entry whose name is null.
extern const Verb kVerbs[];

// The verb of that name, or null.
const Verb* FindVerb(const char* name);

// Prints "vnpack: FILE: message" (or "vnpack: message" when file is null) to stderr and returns
// code, so a verb can end with `return Fail(kExitBadInput, path, "...")`.
int Fail(int code, const char* file, const char* fmt, ...) VN_PRINTF_FORMAT(3, 4);

// Prints the usage of one verb to stderr and returns kExitUsage.
int UsageError(const char* verbName);
