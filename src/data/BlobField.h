#pragma once

#include "data/Field.h"

namespace ws {

// A value of any length read through the engine and cached with its row.
class TBlobField : public TField {
public:
    WS_CLASS_INFO()

    explicit TBlobField(TComponent* owner);

    TFieldType BlobType() const { return DataType(); }
    void SetBlobType(TFieldType type) { SetDataType(type); }

    std::string AsString() const override;
    void SetAsString(const std::string& text) override;

protected:
    TBlobField(TComponent* owner, TFieldType dataType);
    // "(Memo)" when empty, "(MEMO)" when it has a value.
    std::string GetDisplayText() const override;
};

class TMemoField : public TBlobField {
public:
    WS_CLASS_INFO()

    explicit TMemoField(TComponent* owner);
};

} // namespace ws
