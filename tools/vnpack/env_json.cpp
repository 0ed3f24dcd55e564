// The JSON report of vnpack env: the text report's parts, for scripts.
#include <cstring>

#include "config/sections.h"
#include "vnpack/cp932_text.h"
#include "vnpack/env_analysis.h"
#include "vnpack/env_transfer.h"

void PrintEnvJsonText(FILE* out, const char* cp932) {
    static char s_utf8[kEnvShownBytes];
    Cp932ToUtf8(cp932, strlen(cp932), s_utf8, sizeof s_utf8, kReplaceInvalid);
    PrintJsonString(out, s_utf8);
}

static void PrintStops(FILE* out, const EnvAnalysis* an, const char* stopReason) {
    if (!stopReason) {
        fputs("null", out);
        return;
    }
    fputs("{\"section\": ", out);
    PrintJsonString(out, SectionName(an->openSection));
    fputs(", \"reason\": ", out);
    PrintJsonString(out, stopReason);
    fputs("}", out);
}

static void PrintTable(FILE* out, const EnvAnalysis* an) {
    fputs("[", out);
    for (int i = an->rowCount - 1; i >= 0; --i) {
        const EnvTableRow* r = &an->rows[i];
        fprintf(out, "%s\n    {\"line\": %d, \"key\": ", i == an->rowCount - 1 ? "" : ",", r->line);
        PrintEnvJsonText(out, r->key);
        fputs(", \"value\": ", out);
        PrintEnvJsonText(out, r->value);
        fputs(", \"section\": ", out);
        if (r->section >= 0) {
            PrintJsonString(out, SectionName(r->section));
        } else {
            fputs("null", out);
        }
        fputs("}", out);
    }
    fputs("\n  ]", out);
}

static void PrintNamed(FILE* out, const EnvAnalysis* an) {
    fputs("{", out);
    for (int i = 0; i < kEnvNamedCount; ++i) {
        EnvNamedValue v = GetEnvNamedValue(an, i);
        fprintf(out, "%s\n    \"%s\": {\"value\": ", i ? "," : "", kEnvNamedSettings[i].key);
        if (v.isInteger) {
            fprintf(out, "%d", v.integer);
        } else if (v.text) {
            PrintEnvJsonText(out, v.text);
        } else {
            fputs("null", out);
        }
        fprintf(out, ", \"default\": %s, \"line\": ", v.isDefault ? "true" : "false");
        if (v.isDefault) {
            fputs("null", out);
        } else {
            fprintf(out, "%d", v.line);
        }
        fprintf(out, ", \"cut\": %s}", v.cut ? "true" : "false");
    }
    fputs("\n  }", out);
}

static void PrintSections(FILE* out) {
    fputs("{", out);
    for (int s = 0; s < kSectionCount; ++s) {
        fprintf(out, "%s\n    \"%s\": [", s ? "," : "", SectionName(s));
        for (const SectionLine* l = GetSectionList(s); l; l = l->next) {
            PrintEnvJsonText(out, l->text);
            if (l->next) fputs(", ", out);
        }
        fputs("]", out);
    }
    fputs("\n  }", out);
}

static void PrintWarnings(FILE* out, const EnvAnalysis* an) {
    fputs("[", out);
    for (int i = 0; i < an->warningCount; ++i) {
        const EnvWarning* w = &an->warnings[i];
        fprintf(out, "%s\n    {\"line\": ", i ? "," : "");
        if (w->line) {
            fprintf(out, "%d", w->line);
        } else {
            fputs("null", out);
        }
        fputs(", \"text\": ", out);
        PrintJsonString(out, w->text);
        fputs("}", out);
    }
    fputs("\n  ]", out);
}

void PrintEnvJson(FILE* out, const char* path, const EnvAnalysis* an, const char* stopReason) {
    // One member per part of the report, each opened here.
    fputs("{\n  \"file\": ", out);
    PrintJsonString(out, path);
    fputs(",\n  \"updaterStops\": ", out);
    PrintStops(out, an, stopReason);
    fputs(",\n  \"table\": ", out);
    PrintTable(out, an);
    fputs(",\n  \"settings\": ", out);
    PrintNamed(out, an);
    fputs(",\n  \"updaterTitle\": ", out);
    PrintEnvJsonText(out, UpdaterTitle());
    fputs(",\n  \"sections\": ", out);
    PrintSections(out);
    fputs(",\n  \"transfer\": ", out);
    PrintTransferPreviewJson(out, an->installDir);
    fputs(",\n  \"warnings\": ", out);
    PrintWarnings(out, an);
    fprintf(out, ",\n  \"warningsLeftOut\": %d\n}\n", an->warningsDropped);
}
