#include "vnpack/vnpack.h"

// Each verb adds its line here; the order is the order of --help.
const Verb kVerbs[] = {
    {"build",
     "DIR -o OUT.exe [--stub PATH] [--level N | --best] [--threads N] [--add-stop-folder NAME\\SUB] [--follow-links] [--force]\n      [--pkcs12 CERT.p12 [--password-env VAR] [--timestamp URL]] [--base OLD]... [--fallback-whole] [--keep-unchanged]",
     "packs DIR (install.env and the setup files at its top) behind the program into OUT.exe", RunBuild},
    {"list", "FILE", "lists the records of an updater: size, packed size, ratio, time, name", RunList},
    {"test", "FILE", "checks every record and what start-up would extract; exit 2 names the first bad one", RunTest},
    {"extract", "FILE DEST [--setup] [--base OLD]",
     "writes the files, folders and times the program writes (--setup: only start-up's files)", RunExtract},
    {"sign", "FILE (--pkcs12 CERT.p12 [--password-env VAR] [--timestamp URL] | --remove)",
     "signs an updater (SHA-256), replacing its signature; --remove gives back the unsigned file", RunSign},
    {"env", "FILE [--json] [--install-dir PATH]", "show how the updater reads an install.env, and warn about its traps",
     RunEnv},
    {"rct", "encode IN.png OUT.rct [--name TEXT] | decode IN.rct OUT.png",
     "converts a picture between PNG and RCT (a name is stored as CP932)", RunRct},
    {nullptr, nullptr, nullptr, nullptr},
};
