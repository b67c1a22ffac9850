// Generated interface code includes this SDK header; here it is the platform.
#pragma once
#include "zanole/posix/sdk/midl.h"
