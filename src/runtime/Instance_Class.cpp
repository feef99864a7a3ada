#include "runtime/Instance_Class.h"

CInstance::CInstance() = default;
CInstance::CInstance(int id, int objectindex) : i_id(id), i_objectindex(objectindex) {}
CInstance::~CInstance() = default;
