// SPDX-License-Identifier: LicenseRef-Corvane-Proprietary
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
