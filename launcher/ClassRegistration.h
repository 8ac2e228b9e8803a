// What the registry says of a class that cannot be created, for its record.
#pragma once

#include "CoreText.h"

// "<n>-bit registry view: " and the class's in-process server as COM reads it
// in that view (the value unquoted, REG_EXPAND_SZ expanded) and whether that
// file is there; or that the view has no InprocServer32 key for it.
CText DescribeClassRegistration(const CLSID& clsid);
