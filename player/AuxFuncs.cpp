#include "AuxFuncs.h"

#include "runtime/Services.h"
#include "runtime/Strings.h"

namespace zampoplay {
using runtime::Format;
using runtime::Integer;
using runtime::Len;
using runtime::Long;
using runtime::Mid;

String FormatTime(Double Milliseconds) {
    Integer Seconds = Milliseconds / 1000; // cut toward zero; error 6 when it does not fit
    Integer Minutes = 0;
    while (Seconds > 59) {
        Seconds -= 60;
        Minutes += 1;
    }
    return Format(Minutes, u"00") + u":" + Format(Seconds, u"00");
}

String FileNameOf(const String& Path) {
    const Long n = Len(Path);
    Integer i = 1;
    while (Mid(Path, n - Long(i), 1) != u"\\") i += 1;
    return Mid(Path, n - Long(i) + 1);
}
} // namespace zampoplay
