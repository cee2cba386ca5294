// SPDX-License-Identifier: LicenseRef-Corvane-Proprietary
#include "application.h"

int main(int argc, char** argv) {
    return Application::run(argc, argv);
}
