// SPDX-License-Identifier: LicenseRef-Corvane-Proprietary
// src/dialing: the dial routine (here) and its parts: the wait for the modem
// (dialwait.h), the reading of its answer (answer.h), the trap that passes a
// failed step over (errortrap.h), CancelFlag and the signals that set it
// (cancelsignals.h) and the way to the serial-line control (commcontrol.h).
// Qt Core; includes from settings/ the store only, never a widget, and from
// serial/ and components/.
//
// The dial routine: makes the modem on the configured port dial one number as
// a voice call, tells the operator, hangs up and ends the process.
#pragma once

#include <QString>

namespace ModDialer {

// Never returns: every way through ends the process with its exit status.
void Dial(const QString& number);

} // namespace ModDialer
