// The module's only visible output: one message box when start-up fails, after
// which ModuleDisabled keeps the module inert for the rest of its load.
#pragma once

#include <exception>
#include <string>

// Set by the first attempt to show the message; never cleared while loaded.
extern bool ModuleDisabled;

// The module name of the latest report; module lifetime.
extern std::string gReporterModuleName;

// Shows "Module <name> has thrown an exception..." once per load, owned by the
// first top-level window of the calling thread (or by none), and returns when
// the user has closed it. Shows nothing once ModuleDisabled is set.
void ReportException(const std::string& moduleName, const std::exception& failure) noexcept;
