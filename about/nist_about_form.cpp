#include "about/nist_about_form.h"

namespace about {

namespace {

const AboutLayout kLayout = {
    451,
    QRect(8, 3, 435, 24),
    QRect(8, 32, 435, 65),
    QRect(107, 103, 225, 81),
    QRect(107, 190, 204, 20),
    QRect(8, 224, 356, 33),
    QRect(370, 227, 73, 33),
};

}  // namespace

TNISTAboutForm::TNISTAboutForm(QWidget* parent)
    : AboutBox("NIST (ANSI/NIST-ITL 1-2000) viewer v. 1.0 beta",
               {
                   "ANSI/NIST-ITL 1-2000",
                   "American National Standard for Information Systems",
                   "Data Format for the Interchange of Fingerprint, Facial, & Scar Mark & Tattoo (SMT) Information",
                   "Reads and exports ANSI/NIST-ITL 1-2000 file format.",
                   "For latest version and more information please visit:",
               },
               kLayout, parent)
{
    setModal(false);
}

}  // namespace about
