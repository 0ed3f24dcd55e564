// The text report of vnpack env: for a person at a terminal, in UTF-8.
#include <cstring>

#include "common/str_util.h"
#include "config/sections.h"
#include "vnpack/env_analysis.h"
#include "vnpack/env_transfer.h"

static void PrintTable(FILE* out, const EnvAnalysis* an) {
    fprintf(out, "Settings table, in lookup order (the latest line first), %d entr%s:\n", an->rowCount,
            an->rowCount == 1 ? "y" : "ies");
    for (int i = an->rowCount - 1; i >= 0; --i) {
        const EnvTableRow* r = &an->rows[i];
        int latest = GetLatestEnvLine(an, r->key);
        fprintf(out, "  line %4d  %-14s \"%s\"", r->line, ShowEnvText(r->key), ShowEnvText(r->value));
        if (latest != r->line) fprintf(out, "  (hidden by line %d)", latest);
        if (r->section >= 0) fprintf(out, "  (a line of [%s])", SectionName(r->section));
        fputc('\n', out);
    }
}

static void PrintNamed(FILE* out, const EnvAnalysis* an) {
    fputs("\nNamed settings, as the updater will use them:\n", out);
    for (int i = 0; i < kEnvNamedCount; ++i) {
        EnvNamedValue v = GetEnvNamedValue(an, i);
        char where[32];
        if (v.isDefault) {
            CopyStr(where, sizeof where, "default");
        } else {
            FormatStr(where, sizeof where, "line %d", v.line);
        }
        fprintf(out, "  %-13s %-8s ", kEnvNamedSettings[i].key, where);
        if (v.isInteger) {
            fprintf(out, "%d", v.integer);
        } else if (!v.text) {
            fputs("(none)", out);
        } else {
            fprintf(out, "\"%s\"", ShowEnvText(v.text));
        }
        fprintf(out, "  (%s)\n", kEnvNamedSettings[i].role);
    }
    fprintf(out, "  %-13s %-8s \"%s\"  (window caption and single-copy guard)\n", "title", "", ShowEnvText(UpdaterTitle()));
}

static void PrintSections(FILE* out) {
    fputs("\nSections:\n", out);
    for (int s = 0; s < kSectionCount; ++s) {
        int n = 0;
        for (const SectionLine* l = GetSectionList(s); l; l = l->next) ++n;
        fprintf(out, "  [%s] %d line%s%s\n", SectionName(s), n, n == 1 ? "" : "s", n ? ":" : "");
        for (const SectionLine* l = GetSectionList(s); l; l = l->next) fprintf(out, "    %s\n", ShowEnvText(l->text));
    }
}

static void PrintWarnings(FILE* out, const EnvAnalysis* an) {
    if (an->warningCount == 0) {
        fputs("\nNo warnings.\n", out);
        return;
    }
    fprintf(out, "\nWarnings (%d):\n", an->warningCount + an->warningsDropped);
    for (int i = 0; i < an->warningCount; ++i) {
        const EnvWarning* w = &an->warnings[i];
        if (w->line) {
            fprintf(out, "  line %d: %s\n", w->line, w->text);
        } else {
            fprintf(out, "  %s\n", w->text);
        }
    }
    if (an->warningsDropped) fprintf(out, "  ... and %d more\n", an->warningsDropped);
}

void PrintEnvText(FILE* out, const char* path, const EnvAnalysis* an) {
    fprintf(out, "%s: how the updater reads it\n\n", path);
    // One block per part of the report.
    PrintTable(out, an);
    PrintNamed(out, an);
    PrintSections(out);
    PrintTransferPreview(out, an->installDir);
    PrintWarnings(out, an);
}
