// The port layer's status calls (portvex.h), as cardnum reaches them. On Linux cardnum
// links libportvex and calls them directly. On Windows it works with any Portvex.dll,
// also one that exports only the two port operations: the status calls are looked up in
// the loaded Portvex.dll at run time and used when it has them.
#pragma once

namespace cardnum::port {

const char* backend();
bool ready();
const char* status();

}  // namespace cardnum::port
