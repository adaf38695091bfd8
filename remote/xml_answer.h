#pragma once
// Turns a service's XML answer string into an open client-side table (the one loading
// routine every caller uses). Throws RuntimeError on an answer that is not a rowset.

#include <string_view>

#include "remote/table.h"

namespace zentro {

Table loadXmlAnswer(std::string_view xml);

}  // namespace zentro
