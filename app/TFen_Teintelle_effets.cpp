// The effect library's handlers: the effect folder field and the tree.
#include "app/TFen_Teintelle.h"

#include "app/Widgets.h"

#include <QTreeView>

namespace teintelle {

void TFen_Teintelle::RepertoireFichiersCubeChange()
{
    if (RepertoireFichiersCube->text().isEmpty()) {
        NoeudRacine = QPersistentModelIndex();
        return;
    }
}

void TFen_Teintelle::TreeView1Change() {}

} // namespace teintelle
