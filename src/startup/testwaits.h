// SPDX-License-Identifier: LicenseRef-Corvane-Proprietary
// The end-to-end tests run the shipped program, and some of them wait out a
// bound the dial keeps (a silent network cut, a pool's open, a write, a window
// that never comes up): CVDIALER_TEST_WAITS shortens those bounds, as
// "silentcut=MS,bound=MS,write=MS,stall=MS". It only ever shortens a bound, so
// a dial can only give up sooner, which ends, as every give-up does, with the
// operator told and the line let go; it names no file, so it moves none; and
// it is honoured for root alone, who can change the program itself anyway:
// nothing an operator's session sets makes a dial give up early.
#pragma once

namespace TestWaits {

// Reads CVDIALER_TEST_WAITS, if set, and notes on stderr what it shortened.
void apply();

} // namespace TestWaits
