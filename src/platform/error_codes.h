#pragma once

#include <cerrno>

// The errno values that the platform's results carry. Windows' C runtime lacks ESTALE, which a
// listing returns there too (a folder replaced since it was listed); it gets a value of its own
// that no other errno value of that runtime takes.
#ifndef ESTALE
#define ESTALE 10070  // WSAESTALE, the value Windows' own headers give that condition
#endif
