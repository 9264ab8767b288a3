#pragma once

#include "RcParser.h"

#include <QByteArray>

#include <vector>

namespace rc {

// The bytes of a RES file holding the resources: the empty first record, then one record per
// resource. Resources without data come last: a reader stops at a record of no data.
QByteArray ResFileData(const std::vector<TResource>& Resources);

} // namespace rc
