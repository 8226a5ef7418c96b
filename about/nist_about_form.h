#pragma once
// The About box of the NIST viewer window, opened (not modally) from its Help menu.
#include "about/about_box.h"

namespace about {

class TNISTAboutForm : public AboutBox {
public:
    explicit TNISTAboutForm(QWidget* parent = nullptr);
};

}  // namespace about
