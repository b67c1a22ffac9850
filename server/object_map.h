// The server's object map and its registration: the classes its exports
// hand out, in the order they register.
#pragma once

#include "framework/class_object_table.h"
#include "framework/registration.h"

CClassObjectTable& ServerClassObjects();
const CModuleRegistration& ServerRegistration();

// The table, then the module with each class's start hook; stopping runs
// the stop hooks and tears down the module, then the table.
void StartServer() noexcept;
void StopServer() noexcept;
// True when the module could not be set up; the library then refuses to load.
bool ServerInitFailed() noexcept;
