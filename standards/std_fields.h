#pragma once
// Every field of the standards record, written once, in the order of
// STD.DAT: its line, its name, its type, how the file prints it, the control
// that edits it and the range of values that can make sense for it. The
// file's writer and reader, the two standards windows and the range check
// walk this table, so that a field cannot be written in one of them and
// forgotten in another; the item runners take each standard through its row.

#include <cstddef>
#include <cstdint>
#include <functional>
#include <string>
#include <variant>
#include <vector>

#include "standards/standard_data.h"

// How a field is held, printed and typed in: f64, u32, a byte (0-255), or a
// text of at most kSensInitialMaxChars characters.
enum class StdType { Real, Unsigned, Byte, Text };

// The window whose control edits a field.
enum class StandardWindow { Standards, ApertureSpec };

// A field of a record, by its type.
using StdFieldRef = std::variant<double*, std::uint32_t*, std::uint8_t*, std::string*>;
using StdFieldConstRef = std::variant<const double*, const std::uint32_t*, const std::uint8_t*, const std::string*>;

struct StandardField {
    const char* line;  // the STD.DAT keyword of its line (followed by a blank in the file)
    std::string name;  // the record's member; an array's element with its index and meaning
    StdType type;
    // The printf format of the value in the file, with the blanks or the
    // line end after it ("%s" for a text).
    const char* format;
    StandardWindow window;
    int controlId;
    std::function<StdFieldRef(StandardData&)> locate;  // the field in a record
    // The value as the range check judges it and the items take it: a
    // byte that holds a signed value as signed, a text as its integer.
    std::function<double(const StandardData&)> value;
    std::function<double(const StandardData&)> low, high;
    bool lowExclusive = false;
    bool highExclusive = false;

    StdFieldRef At(StandardData& d) const { return locate(d); }
    StdFieldConstRef At(const StandardData& d) const;
    bool Holds(const StandardData& d) const;
};

// Every field, in the order of STD.DAT.
const std::vector<StandardField>& StandardFields();

// The row of a member of the record (not of an array's element).
const StandardField& StandardFieldOf(double StandardData::*member);
const StandardField& StandardFieldOf(std::uint32_t StandardData::*member);
const StandardField& StandardFieldOf(std::uint8_t StandardData::*member);

// The row of the standards window's control `id`, or null.
const StandardField* StandardFieldOfControl(StandardWindow window, int id);
