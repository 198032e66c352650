#pragma once

#include "ui/CustomForm.h"

namespace ws {

// The form the program's windows derive from.
class TForm : public TCustomForm {
public:
    WS_CLASS_INFO()
    using TCustomForm::TCustomForm;
};

} // namespace ws
