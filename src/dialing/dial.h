// SPDX-License-Identifier: LicenseRef-Corvane-Proprietary
// The dial routine: makes the modem on the configured port dial one number as
// a voice call, tells the operator, hangs up and ends the process.
#pragma once

#include <QString>

namespace ModDialer {

// Set to stop a dial under way: by the dialling window's "Cancelar" and by
// SIGINT, SIGTERM, SIGHUP or SIGQUIT. Read and cleared by the wait for the modem.
extern bool CancelFlag;

// Never returns: every way through ends the process with its exit status.
void Dial(const QString& number);

} // namespace ModDialer
