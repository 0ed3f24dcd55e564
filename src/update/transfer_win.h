#pragma once
// The [ini] and [reg] lines of install.env, written with REP_INSTALL standing for installPath.
void TransferIniSection(const char* installPath);
void TransferRegSection(const char* installPath);
