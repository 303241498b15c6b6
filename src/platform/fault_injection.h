// Failures that tests can ask the kernel stand-in to produce, to reach the error
// paths of code that calls it.
#pragma once

namespace vantor::platform {

// The next CreateThread call fails as if the system were out of resources (null
// handle, ERROR_NOT_ENOUGH_MEMORY) without starting the routine. false withdraws a
// request that no call has used yet.
void failNextCreateThread(bool fail = true);

// The next CreateEventA or CreateEventW call fails in the same way.
void failNextCreateEvent(bool fail = true);

}  // namespace vantor::platform
