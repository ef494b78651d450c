// The module-lifetime objects, defined in one translation unit so that they are
// constructed in this order when the module is loaded and destroyed in the
// reverse order when it is unloaded, after the entry routine's process detach.

#include "persistence/placement_file.h"
#include "report/exception_report.h"
#include "tracking/placement_table.h"

PlacementDocument PlacementFile;
PlacementTable gPlacementTable;
std::string gReporterModuleName;
