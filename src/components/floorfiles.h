// SPDX-License-Identifier: LicenseRef-Corvane-Proprietary
// The floor's profile files, an administrator's for every workstation: the
// defaults (the first CVDIALER.INI in $XDG_CONFIG_DIRS, by default /etc/xdg),
// for keys the user's profile lacks, and the fixed values (/etc/cvdialer,
// wherever the program is installed), which win over the user's. The program
// never writes either, and uses one only when root alone can change it.
#pragma once

#include <QString>

namespace FloorFiles {

// That absolute path: no install prefix or environment variable moves it, so
// a user cannot step around the administrator's values.
inline const QString kFixedFile = QStringLiteral("/etc/cvdialer/CVDIALER.INI");

// The defaults' file: the first CVDIALER.INI that exists in the folders of
// $XDG_CONFIG_DIRS (absolute ones; /etc/xdg when there are none); empty if none.
QString defaultsFile();

// Whether path may be used: it exists, is owned by root and only root may
// write it. Any other file is ignored, with one note per file and run.
bool usable(const QString& path);

} // namespace FloorFiles
