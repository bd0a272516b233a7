#include "standards/standard_ranges.h"

#include "platform/format.h"

namespace {

std::string Number(double v) { return platform::Format("%.6g", v); }

}  // namespace

std::vector<StandardRangeFault> CheckStandardRanges(const StandardData& d,
                                                    const std::function<bool(const StandardField&)>& which) {
    std::vector<StandardRangeFault> faults;
    for (const StandardField& f : StandardFields())
        if (which(f) && !f.Holds(d)) faults.push_back({&f, f.value(d), f.low(d), f.high(d)});
    return faults;
}

std::vector<StandardRangeFault> CheckStandardRanges(const StandardData& d) {
    return CheckStandardRanges(d, [](const StandardField&) { return true; });
}

std::vector<StandardRangeFault> CheckStandardRanges(const StandardData& d, StandardWindow window) {
    return CheckStandardRanges(d, [window](const StandardField& f) { return f.window == window; });
}

std::string DescribeRangeFault(const StandardRangeFault& fault) {
    const StandardField& f = *fault.field;
    return platform::Format("%s %s = %s （%s%s %s%s）", f.line, f.name.c_str(), Number(fault.value).c_str(),
                            Number(fault.low).c_str(), f.lowExclusive ? "超" : "以上", Number(fault.high).c_str(),
                            f.highExclusive ? "未満" : "以下");
}

std::string DescribeRangeFaults(const std::vector<StandardRangeFault>& faults, std::size_t maxLines) {
    std::string text = kStdOutOfRange;
    for (std::size_t i = 0; i < faults.size() && i < maxLines; ++i) text += DescribeRangeFault(faults[i]) + "\r\n";
    if (faults.size() > maxLines)
        text += platform::Format("ほか %d 件\r\n", static_cast<int>(faults.size() - maxLines));
    return text;
}
