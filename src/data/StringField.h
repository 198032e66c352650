#pragma once

#include "data/Field.h"

namespace ws {

// Text of at most Size characters of UTF-8 (20 when none is declared); its value takes up to
// four bytes a character and a zero. A stored field reads the whole text the table holds, even
// when the table's field is longer than the declared size.
class TStringField : public TField {
public:
    WS_CLASS_INFO()

    explicit TStringField(TComponent* owner);

    int DataSize() const override { return 4 * (Size() > 0 ? Size() : 0) + 1; }
    std::string AsString() const override;
    // Keeps at most Size characters; longer text is cut without notice, never inside a character.
    void SetAsString(const std::string& text) override;
    bool AsBoolean() const override;
    std::int32_t AsInteger() const override;
    double AsFloat() const override;
    TDateTime AsDateTime() const override;
};

} // namespace ws
