// What the tests of the configuration layer and its tool share.
#pragma once

#include "ChildProcess.h"
#include "ComApartment.h"
#include "CoreXML.h"
#include "DebugOutputCapture.h"
#include "ScratchFolder.h"

#include <algorithm>
