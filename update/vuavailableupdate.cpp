#include "update/vuavailableupdate.h"

VuAvailableUpdate::VuAvailableUpdate(QObject *parent) : QObject(parent) {}
