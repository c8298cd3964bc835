#include "base/Format.h"

#include <langinfo.h>
#include <locale.h>

namespace base {

TFormatSettings UserFormatSettings() {
    TFormatSettings fs;
    locale_t loc = newlocale(LC_ALL_MASK, "", static_cast<locale_t>(0));
    if (loc == static_cast<locale_t>(0)) loc = newlocale(LC_TIME_MASK | LC_NUMERIC_MASK, "", static_cast<locale_t>(0));
    if (loc == static_cast<locale_t>(0)) return fs;
    fs.TimeSeparator = TimeSeparatorFromFormat(nl_langinfo_l(T_FMT, loc));
    const char* radix = nl_langinfo_l(RADIXCHAR, loc);
    if (radix && *radix) fs.DecimalSeparator = radix;
    freelocale(loc);
    return fs;
}

}  // namespace base
