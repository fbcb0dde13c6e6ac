#include "drive/source_table.h"

namespace vestrel {

std::vector<SourceRecord>& SourceTable() {
    static std::vector<SourceRecord> table;
    return table;
}

}  // namespace vestrel
