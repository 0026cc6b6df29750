// A library with only two of the sixteen entry points, for the bench's "not a plug-in" message.
#include "platform/export.h"

ATS_EXPORT void ATS_CALL Load() {}
ATS_EXPORT void ATS_CALL Dispose() {}
