// What the tests of the configuration layer and its tool share.
#pragma once

#include "ComApartment.h"
#include "CoreHandle.h"
#include "CoreXML.h"
#include "DebugOutputCapture.h"
#include "ScratchFolder.h"

#include <gtest/gtest.h>

#include <algorithm>
