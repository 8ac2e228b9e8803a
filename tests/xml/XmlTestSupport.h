// What the tests of the configuration layer and its tool share: the support
// fixtures.
#pragma once

#include "ChildProcess.h"
#include "ComApartment.h"
#include "CoreXML.h"
#include "DebugOutputCapture.h"
#include "ScratchFolder.h"

#include <algorithm>
