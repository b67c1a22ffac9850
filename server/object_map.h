// The server's object map: the class objects its exports hand out.
#pragma once

#include "framework/class_object_table.h"

CClassObjectTable& ServerClassObjects();
