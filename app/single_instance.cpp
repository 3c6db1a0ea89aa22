#include "app/single_instance.h"

namespace trimlet {

SingleInstance::SingleInstance(QObject* parent)
    : QObject(parent)
{
}

}  // namespace trimlet
