#include "tracking/placement_table.h"

#include <boost/format.hpp>

WindowKey FormatWindowKey(const WindowRecord& record) {
    // Parsing the pattern costs more than formatting with it, and keys are made
    // for every window of every pass and every section of a load: the parsed
    // pattern is kept. Only the host's UI thread formats keys, one at a time;
    // clear() drops whatever an interrupted use (out of memory) left bound.
    static boost::format pattern("%d;%d;%s");
    pattern.clear();
    return (pattern % record.width % record.height % record.title).str();
}
