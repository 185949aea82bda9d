// A test-only pause inside a metadata save's open transaction.
//
// Fault and race tests need a save held at its most delicate point: every
// row written, nothing committed. When the environment variable
// Q6_TEST_PAUSE_IN_SAVE names a file, the outermost SaveEOMetaData calls
// PauseInsideSaveIfAsked() just before it commits; the call creates that
// file (holding the process id) and waits until the file is removed again,
// for at most kMaxPause. A test can then kill the process, or start a
// competing saver, and let the save go on by removing the file. Without the
// variable the call returns at once.
#pragma once

#include <chrono>

namespace q6 {

inline constexpr const char* kSavePauseVariable = "Q6_TEST_PAUSE_IN_SAVE";
inline constexpr std::chrono::seconds kMaxPause{60};

// Pauses as described above. Never raises: a file that cannot be created
// means no pause.
void PauseInsideSaveIfAsked() noexcept;

}  // namespace q6
