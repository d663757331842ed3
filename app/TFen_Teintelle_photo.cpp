// The photo's handlers: the photo field, the compare button and the cancel.
#include "app/TFen_Teintelle.h"

#include "imaging/TImage32.h"

namespace teintelle {

void TFen_Teintelle::FichierImageChange() {}

void TFen_Teintelle::Bt_SansEffetMouseEnter()
{
    Image322->Bitmap().Assign(&Image321->Bitmap());
    Image322->Refresh();
}

void TFen_Teintelle::Bt_SansEffetMouseLeave()
{
    Image322->Bitmap().Assign(ImageTraitee.get());
    Image322->Refresh();
}

void TFen_Teintelle::Image322DblClick() {}

} // namespace teintelle
