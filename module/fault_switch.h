// Test builds only: lets a test make the next start-up fail the way an
// exhausted memory would, to see the report and the inert module that follow.
#pragma once

// Exported from the test build's module; the host calls it before InitModule.
extern "C" __declspec(dllexport) void QuilloryRequestStartupFault();

// Throws std::runtime_error once after a request.
void ThrowIfStartupFaultRequested();
