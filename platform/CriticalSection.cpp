#include "platform/CriticalSection.h"

// Everything is inline; this file keeps the one-header-one-source layout.
