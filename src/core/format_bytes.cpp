#include "core/format_bytes.h"

#include <cmath>

namespace vorlane {

QString formatBytes(int64_t bytes)
{
    struct Unit
    {
        const char *name;
        int64_t divisor;
    };
    static constexpr Unit units[]
        = {{"T", int64_t(1) << 40}, {"G", int64_t(1) << 30}, {"M", int64_t(1) << 20}, {"K", 1024}};
    for (const Unit &u : units) {
        if (bytes < u.divisor)
            continue;
        const double v = double(bytes) / double(u.divisor);
        if (v < 10)
            return QString::number(v, 'f', 1) + QLatin1StringView(u.name);
        return QString::number(std::llround(v)) + QLatin1StringView(u.name);
    }
    return QString::number(bytes) + u'B';
}

} // namespace vorlane
