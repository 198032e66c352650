#pragma once

#include <cstdint>
#include <string>
#include <vector>

namespace ws {

class TComponent;
struct TPropAssignment;

// The value of a published property, as a stored description writes it and as code reads or sets
// it by name. Stored descriptions produce every kind but Component; reading a reference property
// by name yields Component.
class TPropValue {
public:
    enum class TKind {
        Nil,
        Integer,
        Float,
        Boolean,
        String,
        Ident,
        Set,
        List,
        Binary,
        Collection,
        Component
    };
    using TItems = std::vector<std::vector<TPropAssignment>>;

    // Special members are out of line: TItems holds TPropAssignment, declared below.
    TPropValue();
    ~TPropValue();
    TPropValue(const TPropValue& other);
    TPropValue(TPropValue&& other) noexcept;
    TPropValue& operator=(const TPropValue& other);
    TPropValue& operator=(TPropValue&& other) noexcept;

    static TPropValue Nil();
    static TPropValue Integer(std::int64_t v);
    static TPropValue Float(double v);
    static TPropValue Boolean(bool v);
    static TPropValue String(std::string v);
    static TPropValue Ident(std::string v);
    static TPropValue Set(std::vector<std::string> identifiers);
    static TPropValue List(std::vector<TPropValue> items);
    static TPropValue StringList(const std::vector<std::string>& lines);
    static TPropValue Binary(std::vector<std::uint8_t> bytes);
    static TPropValue Collection(TItems items);
    static TPropValue Component(TComponent* component);

    TKind Kind() const { return m_Kind; }
    bool IsNil() const { return m_Kind == TKind::Nil; }

    // Each accessor expects the matching kind; a mismatch raises EPropertyError.
    std::int64_t AsInteger() const;
    double AsFloat() const;
    bool AsBoolean() const;
    const std::string& AsString() const;
    const std::string& AsIdent() const;
    const std::vector<std::string>& AsSet() const;
    const std::vector<TPropValue>& AsList() const;
    std::vector<std::string> AsStringList() const;
    const std::vector<std::uint8_t>& AsBinary() const;
    const TItems& AsCollection() const;
    TComponent* AsComponent() const;

    // Short human-readable form for error messages: "integer 12", "identifier clRed".
    std::string Describe() const;

    friend bool operator==(const TPropValue& a, const TPropValue& b);

private:
    void Expect(TKind kind) const;

    TKind m_Kind = TKind::Nil;
    std::int64_t m_Integer = 0;
    double m_Float = 0;
    std::string m_Text;
    std::vector<std::string> m_Names;
    std::vector<TPropValue> m_List;
    std::vector<std::uint8_t> m_Bytes;
    TItems m_Items;
    TComponent* m_Component = nullptr;
};

const char* KindName(TPropValue::TKind kind);

// One "Path = value" line of a stored description (or of a collection item), with where it stood.
struct TPropAssignment {
    std::string Path;
    TPropValue Value;
    int Line = 0;
    int Column = 0;

    friend bool operator==(const TPropAssignment& a, const TPropAssignment& b) {
        return a.Path == b.Path && a.Value == b.Value;
    }
};

} // namespace ws
