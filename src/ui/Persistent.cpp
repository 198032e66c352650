#include "ui/Persistent.h"

#include "base/Strings.h"

namespace ws {

const TClassInfo& TObject::StaticClassInfo() {
    static const TClassInfo info("TObject", nullptr, {});
    return info;
}

const TClassInfo& TPersistent::StaticClassInfo() {
    static const TClassInfo info("TPersistent", &TObject::StaticClassInfo(), {});
    return info;
}

void TPersistent::Assign(const TPersistent& source) {
    throw EConvertError(
        Format("Cannot assign a %s to a %s", source.ClassName().c_str(), ClassName().c_str()));
}

} // namespace ws
