// SPDX-License-Identifier: LicenseRef-Corvane-Proprietary
#pragma once

namespace Application {

// The whole program: takes the request from argv, brings up Qt without
// letting it read the operator's arguments, and runs start-up.
int run(int argc, char** argv);

} // namespace Application
