// SPDX-License-Identifier: LicenseRef-Corvane-Proprietary
// One link question per user on the screen at a time, so that a page firing
// links cannot stack questions for a stray Return to answer. The turn is an
// flock on a file in $XDG_RUNTIME_DIR: the kernel frees it when the run ends,
// by a crash too.
#pragma once

namespace ModDialer {

// Takes the turn without waiting (once taken, it stays this run's); false
// when another run's link is being asked about. With no runtime folder to
// lock in, a note says so and the turn counts as taken: the question itself
// still guards the dial.
bool takeLinkTurn();

// Gives the turn back: the link's question has its answer.
void releaseLinkTurn();

} // namespace ModDialer
