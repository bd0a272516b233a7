#pragma once
// The main window's working copy of the standards: every value of the
// record, with the nineteen sensitivity initial values held as 16-bit
// integers instead of the record's texts.

#include <array>
#include <cstdint>

#include "standards/standard_data.h"

struct StandardsCopy {
    StandardData values;  // values.sensInitial stays empty: sensInitial holds them
    std::array<std::uint16_t, 19> sensInitial{};

    static StandardsCopy From(const StandardData& record) {
        StandardsCopy copy;
        copy.values = record;
        copy.values.sensInitial = {};
        copy.sensInitial = SensInitialToIntegers(record.sensInitial);
        return copy;
    }

    // Fills `record` with the copy, the initial values formatted "%04d".
    void CopyTo(StandardData& record) const {
        record = values;
        record.sensInitial = SensInitialToTexts(sensInitial);
    }

    bool operator==(const StandardsCopy&) const = default;
};
