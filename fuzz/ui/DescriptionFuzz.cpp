// Feeds arbitrary text to the stored-description parser, and what parses into a loader over
// a root that accepts a few properties: neither may crash, leak or read out of bounds, whatever
// the text; refusing it with EParserError or EReadError is fine.

#include "ui/ClassRegistry.h"
#include "ui/ComponentRef.h"
#include "ui/Description.h"
#include "ui/PropertiesBuilder.h"
#include "ui/Reader.h"

#include <cstddef>
#include <cstdint>
#include <string_view>

namespace {

class TFuzzItem : public ws::TComponent {
public:
    WS_CLASS_INFO()
    using TComponent::TComponent;
    int Left = 0;
    std::string Caption;
    std::vector<std::string> Lines;
    ws::TComponentRef<TFuzzItem> Peer{this};
};

const ws::TClassInfo& TFuzzItem::StaticClassInfo() {
    static const ws::TClassInfo info =
        ws::TClassBuilder<TFuzzItem>("TFuzzItem", TComponent::StaticClassInfo())
            .Integer("Left", &TFuzzItem::Left, &TFuzzItem::Left)
            .String("Caption", &TFuzzItem::Caption, &TFuzzItem::Caption)
            .StringList("Lines", &TFuzzItem::Lines, &TFuzzItem::Lines)
            .Reference<TFuzzItem>(
                "Peer", [](const TFuzzItem& i) { return i.Peer.Get(); },
                [](TFuzzItem& i, TFuzzItem* p) { i.Peer.Set(p); })
            .Build();
    return info;
}

} // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
    static const bool registered = [] {
        ws::RegisterClass<TFuzzItem>();
        return true;
    }();
    (void)registered;
    const std::string_view text(reinterpret_cast<const char*>(data), size);
    try {
        ws::TComponentPtr<TFuzzItem> root(new TFuzzItem(nullptr));
        ws::ReadComponentResource(*root, text);
    } catch (const ws::Exception&) {
    }
    return 0;
}
