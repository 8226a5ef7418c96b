#pragma once
// The About box of the image viewer, opened modally from its Help menu.
#include "about/about_box.h"

namespace about {

class TAboutForm : public AboutBox {
public:
    explicit TAboutForm(QWidget* parent = nullptr);
};

}  // namespace about
