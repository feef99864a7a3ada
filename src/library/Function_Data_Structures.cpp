#include "library/Function_Data_Structures.h"

void InitFunction_Data_Structures() {}
