#include "scrape/run_records.h"

#include <algorithm>
#include <climits>

namespace lanqi {

int addTotalsSaturating(const RunRecords& records) {
    const long long sum =
        static_cast<long long>(records.siteTotal1) + records.siteTotal3 + records.siteTotal5 + records.siteTotal6;
    return static_cast<int>(std::clamp<long long>(sum, INT_MIN, INT_MAX));
}

}  // namespace lanqi
