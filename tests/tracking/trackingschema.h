// trackingSchema() lives with the other schema builders.
#include "testdatabase.h"
