#pragma once

namespace mivex {

// Runs the units' start-up steps once per load, in their fixed order: the crypto
// framework's registries and the big-integer ticker, the log with its retention sweep,
// the feature engine and sensor libraries with the engine's initialisation, and COM for
// the starting thread. Every export calls it first. It is not run from DllMain because
// its steps load libraries and initialise COM, which Windows forbids under the loader lock.
void EnsureLibraryStarted();

// Runs the shutdown steps of the units that were started, in reverse order.
void StopLibrary();

}  // namespace mivex
