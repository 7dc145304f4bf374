#include "store/MasterChanges.h"

MasterChanges& MasterChanges::instance()
{
    static MasterChanges changes;
    return changes;
}
