// SPDX-License-Identifier: LicenseRef-Corvane-Proprietary
// src/startup, the top layer: the program itself (here: run(), which main.cpp
// calls), start-up's choice between the window and a dial (startup.h,
// request.h), --help and --version (usage.h), Qt's start without a display
// (platformstart.h), and the Qt side of the platform hooks (qtplatform.h):
// message boxes, the dialling window (dialprogress.h) and the dialled cue
// (dialledcue.h, alsaoutput.h). Qt Widgets; may include from every folder below.
#pragma once

class QCoreApplication;

namespace Application {

// The whole program: takes the request from argv, brings up Qt without
// letting it read the operator's arguments, and runs start-up.
int run(int argc, char** argv);

// Qt's own texts (the fields' context menu, standard buttons) in Spanish
// whatever the locale, by a translator that lives as long as app. False when
// the translation cannot be loaded.
bool installQtTranslation(QCoreApplication& app);

} // namespace Application
