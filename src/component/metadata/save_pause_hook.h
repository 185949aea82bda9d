// A hook inside a metadata save's open transaction, for tests.
//
// Fault and race tests need a save held at its most delicate point: every
// row written, nothing committed. A test installs a hook with
// SetSavePauseHook; the outermost SaveEOMetaData runs it just before it
// commits, and the test does what it needs there (kill the process, start a
// competing saver, wait for a signal). Nothing in the product installs one,
// and nothing reads the environment for it.
#pragma once

#include <functional>

namespace q6 {

// Installs `hook` for every later save in this process; an empty function
// removes it. Safe from any thread; a save already past the point keeps the
// hook it found.
void SetSavePauseHook(std::function<void()> hook);

// Runs the installed hook, if any. Never raises: a hook that throws is
// taken as done.
void RunSavePauseHook() noexcept;

}  // namespace q6
