#include "tracking/placement_table.h"

#include <boost/format.hpp>

WindowKey FormatWindowKey(const WindowRecord& record) {
    return (boost::format("%d;%d;%s") % record.width % record.height % record.title).str();
}
