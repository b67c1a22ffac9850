// An open registry key, closed when the owner goes, on reset and on put.
#pragma once

#include "base/unique_any.h"

using RegKey = zan::UniqueRegKey;
