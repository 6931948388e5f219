// The plug-in's version.
#pragma once

// Shown to the host and published in orlex_mm_version, so the two always agree.
#define ORLEX_VERSION "1.1.0b"
